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
  const bzip2arc::WrittenSet set = bzip2arc::CreateArchiveSet(request.OutputFolder, entries, options);

  CreateSummary summary;
  summary.Records = entries.size();
  summary.Volumes = set.Volumes;
  summary.Bytes = set.Bytes;
  return summary;
}

}  // namespace arcset
