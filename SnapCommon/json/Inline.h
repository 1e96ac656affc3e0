// The one way the library forces a function inline. Internal.
#ifndef ZQ_JSON_INLINE_H
#define ZQ_JSON_INLINE_H

// For the few functions every byte or value passes through, which the
// compiler leaves out of line in functions this size: a call costs a good
// part of what they do.
#define ZQ_INLINE inline __attribute__((always_inline))

#endif
