/* Vorbis comment editor: reads the three header packets of the first Vorbis
 * stream of an Ogg file and writes the file again with a new comment packet.
 *
 * Contract:
 * - Every function taking a state accepts a state from vcedit_new_state only;
 *   the state is owned by the caller and released with vcedit_clear.
 * - Functions returning int give 0 on success and -1 on failure; the reason
 *   is then available from vcedit_error.
 * - The streams are opaque handles passed to the caller's read and write
 *   callbacks, which follow fread/fwrite: they return the number of whole
 *   items moved, and anything short of the count asked for is taken as the
 *   end of the input (read) or a failure (write).
 */
#ifndef TARNWELL_VCEDIT_H
#define TARNWELL_VCEDIT_H

#include <stddef.h>
#include <vorbis/codec.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vcedit_state vcedit_state;

typedef size_t (*vcedit_read_func)(void* buffer, size_t size, size_t count, void* stream);
typedef size_t (*vcedit_write_func)(const void* buffer, size_t size, size_t count, void* stream);

/* A new, empty state; NULL when out of memory. */
vcedit_state* vcedit_new_state(void);

/* Releases the state and everything it holds; NULL is ignored. */
void vcedit_clear(vcedit_state* state);

/* The comment block of the opened stream, owned by the state. Its arrays
 * are allocated with malloc, exactly as libvorbis allocates them, so the
 * caller may edit it with vorbis_comment_clear and vorbis_comment_add; the
 * edited block is what vcedit_write stores. Comment texts are given by their
 * lengths (each also carries a terminating zero that is not counted).
 * NULL for a NULL state. */
vorbis_comment* vcedit_comments(vcedit_state* state);

/* Reads the headers of the first Vorbis stream from `in` through `read`
 * (`write` is kept for vcedit_write). A malformed header, a stream that is
 * not Ogg Vorbis or an input that ends inside the headers is a failure. The
 * input stays in use until vcedit_write or vcedit_clear. */
int vcedit_open_callbacks(vcedit_state* state, void* in, vcedit_read_func read,
                          vcedit_write_func write);

/* Writes the whole opened input to `out`: the comment packet is replaced by
 * the state's comment block, every other packet, granule position and page
 * of the file is kept; pages of the edited stream are renumbered (with new
 * checksums) only when the header pages grew or shrank. Later links of a
 * chained file and the bytes of other streams are copied unchanged. Can be
 * called once per open. */
int vcedit_write(vcedit_state* state, void* out);

/* The reason of the last failure, owned by the state and valid until the
 * next call on it; NULL when nothing has failed. */
const char* vcedit_error(vcedit_state* state);

#ifdef __cplusplus
}
#endif

#endif
