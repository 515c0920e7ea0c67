/* The decoder build of libbz2 leaves out the compressor; bzlib.c still
   references its entry. Nothing in the library compresses, so this is never
   called. */
#include "bzlib_private.h"

void BZ2_compressBlock(EState* s, Bool is_last_block)
{
  (void)s;
  (void)is_last_block;
  bz_internal_error(4000);
}
