#include "Help.h"

namespace arcset {

namespace {

constexpr const char* kGeneral =
    "Usage: arcset COMMAND [OPTIONS] OPERANDS...\n"
    "Builds, lists, verifies and extracts bzip2 archive sets (setup0.lib,\n"
    "setup1.lib, ...) as the setup loader reads them.\n"
    "\n"
    "Commands:\n"
    "  create   build a set from files and folders\n"
    "  list     show the header and the directory of a set\n"
    "  verify   decode every record of a set without writing files\n"
    "  extract  extract every file of a set into a folder\n"
    "\n"
    "VOLUMES is a folder that holds setup0.lib, setup1.lib, ... or a path with\n"
    "one \"%d\" for the volume number, e.g. disks/setup%d.lib.\n"
    "--key HEX gives the directory key as 1 to 56 bytes in hex, none of them 00;\n"
    "without it the setup loader's fixed key is used.\n"
    "--codepage CP (create, list, extract) names the Windows code page that the\n"
    "set's names are stored in: 1252 (default), 1250, 1251, 437 or 850. Names\n"
    "on disk are in the locale's encoding (UTF-8 under the C locale).\n"
    "\n"
    "Options:\n"
    "  --help     show this text; after a command, show that command's help\n"
    "  --version  show the version\n"
    "\n"
    "Memory: list, verify and extract keep the directory in a work file and run\n"
    "in a few MiB whatever the set (extract -j N adds its 64 MiB window); a\n"
    "directory that cannot fit in setup0.lib is refused before it is read.\n"
    "\n"
    "Exit status:\n"
    "  0  success\n"
    "  1  failure: the archive library's message (\"arcset: \" and the record\n"
    "     under way before it; for a file, its path and the system's reason\n"
    "     after it), or\n"
    "     an input that a set cannot hold (invalid or duplicate name, nested\n"
    "     folder, unreadable file)\n"
    "  2  usage error: unknown command or option, missing or malformed operand\n";

constexpr const char* kCreate =
    "Usage: arcset create [--key HEX | --plain] [--codepage CP] [--volume-size N]\n"
    "                     [--first-volume-size N] [--patch NAME=OLD:NEW]...\n"
    "                     [-j N] OUTDIR INPUT...\n"
    "Writes the set setup0.lib, setup1.lib, ... into OUTDIR (made if missing).\n"
    "Every INPUT file becomes one record, in the order given, named after the\n"
    "file. A folder INPUT adds the regular files directly inside it, sorted by\n"
    "name. The format has no folders: a folder that holds another folder is\n"
    "rejected rather than flattened.\n"
    "Names are stored in the code page (a name it cannot hold is refused) and\n"
    "must be 1 to 64 bytes long there, hold no \\ / : < > \" | ? * or control\n"
    "character, not end in a dot or blank, not be a device name (CON, NUL,\n"
    "COM1, LPT1.txt, ...) or patch.tmp/patch.old, and differ from each other in\n"
    "more than case as Windows compares them.\n"
    "Each file is stored as one bzip2 stream (level 9) with its modification\n"
    "time (local) and its read-only bit. Nothing is written unless the whole\n"
    "set can be; a set already in OUTDIR is replaced as a whole.\n"
    "\n"
    "  --key HEX              encipher the directory under this key\n"
    "                         (default: the setup loader's key)\n"
    "  --plain                store the directory unenciphered\n"
    "  --volume-size N        cut the set into volumes of N bytes; N may end in\n"
    "                         K, M or G (KiB, MiB, GiB)\n"
    "  --first-volume-size N  size of setup0.lib (default: --volume-size); it\n"
    "                         must hold the header and the directory\n"
    "  --patch NAME=OLD:NEW   after the INPUT records, add a patch record that\n"
    "                         turns file NAME, which must be in the set already\n"
    "                         with the content of file OLD and not read-only,\n"
    "                         into file NEW (with NEW's time and read-only bit;\n"
    "                         OLD must not contain ':'); may be repeated\n"
    "  -j N, --jobs N         compress on N threads (default: one per core);\n"
    "                         the set is the same for every N, each stream\n"
    "                         the bytes of bzip2 -9. Files are read in pieces:\n"
    "                         memory stays near 20 MB + 9 MB per thread\n"
    "                         whatever the sizes (a --patch holds its two\n"
    "                         files besides)\n";

constexpr const char* kList =
    "Usage: arcset list [--key HEX] [--codepage CP] [--json] VOLUMES\n"
    "Shows the archive header and every directory record: name, size, stored\n"
    "size, kind (file or patch), date (local time), attributes (R read-only,\n"
    "H hidden, S system, A archive) and the volumes that hold its data.\n"
    "\n"
    "  --json  print one JSON object: the header fields and a \"Records\" array.\n"
    "          Names are UTF-8 from the code page; a byte it leaves undefined\n"
    "          is written as the text \\xNN, a control character as \\u00XX.\n"
    "In the table control characters are shown as \\xNN too.\n";

constexpr const char* kVerify =
    "Usage: arcset verify [--key HEX] [-j N] VOLUMES\n"
    "Decodes every record as extraction would, without writing any file: each\n"
    "stored stream must decode to at least its size, and each patch must apply\n"
    "to the content that earlier records give its file. Prints \"OK: N files\"\n"
    "(N records) or the first failure with the library's message.\n"
    "\n"
    "  -j N, --jobs N  decode the bzip2 blocks of each record on N threads,\n"
    "                  with the same result (default 1: the library's\n"
    "                  decoder)\n";

constexpr const char* kExtract =
    "Usage: arcset extract [--key HEX] [--codepage CP] [-j N] VOLUMES DEST\n"
    "Extracts every file of the set into DEST (made if missing), in directory\n"
    "order, as the setup loader does. A progress bar is shown when stderr is a\n"
    "terminal. When a volume is missing and stdin is a terminal, arcset asks\n"
    "for the disk (\"Please insert disk no. #N!\", N the volume number as in\n"
    "setupN.lib) and waits for Enter; end of input gives up. Otherwise a\n"
    "missing volume fails with \"Disk #N needed!\" (N counted from 1).\n"
    "Names are written in UTF-8 from the code page (an undefined byte as \\xNN).\n"
    "Each file is written as .NAME.arcset-XXXXXX beside NAME and takes NAME's\n"
    "place only when complete: an older file, or a link, of that name is\n"
    "replaced whole or not at all and never written through. A killed arcset\n"
    "may leave such a .NAME.arcset-XXXXXX file; delete it.\n"
    "\n"
    "  -j N, --jobs N  decode on N threads, writing the files in order with\n"
    "                  the same result (default 1: the library's own\n"
    "                  record-by-record extraction). The threads decode the\n"
    "                  bzip2 blocks of the record being written and of the\n"
    "                  records after it, which are held in up to 64 MiB of\n"
    "                  memory. With N > 1 a missing volume always fails.\n";

}  // namespace

std::string HelpText(const std::string& command) {
  if (command == "create") return kCreate;
  if (command == "list") return kList;
  if (command == "verify") return kVerify;
  if (command == "extract") return kExtract;
  return kGeneral;
}

std::string VersionText() { return std::string("arcset ") + ARCSET_VERSION + "\n"; }

}  // namespace arcset
