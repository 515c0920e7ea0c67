#include "CreateCommand.h"

#include "ArchiveWriter.h"
#include "SetInputs.h"

namespace arcset {

CreateSummary CreateSet(const CreateRequest& request) {
  const Names names(*CodePage::Find(request.CodePage));
  const std::vector<bzip2arc::WriterEntry> entries = CollectEntries(request.Inputs, request.Patches, names, request.OutputFolder);

  bzip2arc::WriterOptions options;
  options.Encrypt = !request.Plain;
  if (request.HasKey) options.Key.assign(request.Key.begin(), request.Key.end());
  options.VolumeSize = request.VolumeSize;
  options.FirstVolumeSize = request.FirstVolumeSize;
  options.Threads = request.Threads;
  options.BlockSize100k = 9;
  const auto volumes = bzip2arc::BuildArchiveSet(entries, options);
  bzip2arc::WriteArchiveSet(request.OutputFolder, volumes);

  CreateSummary summary;
  summary.Records = entries.size();
  summary.Volumes = volumes.size();
  for (const auto& volume : volumes) summary.Bytes += static_cast<std::int64_t>(volume.size());
  return summary;
}

}  // namespace arcset
