// What the library offers a host. The libraries are built with hidden
// visibility: a class or function they export is marked QDAT_API, and
// everything else stays inside them, so that hosts can rely only on what
// they are meant to use. QDatFile60 and QDatFile60Exchange mark theirs alike.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define QDAT_API __attribute__((visibility("default")))
#else
#define QDAT_API
#endif
