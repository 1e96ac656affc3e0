// The one export macro of the module. The build hides every symbol by default;
// only what carries ZQ_API reaches the module's dynamic symbol table.
#ifndef ZQ_EXPORT_H
#define ZQ_EXPORT_H

#if defined(__GNUC__)
#define ZQ_API __attribute__((visibility("default")))
#else
#define ZQ_API
#endif

#endif
