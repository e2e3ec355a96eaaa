// Force-included into the product's own C++ sources (CMakeLists.txt): std::string's members are then
// instantiated in the program's own code, as far as it uses them, instead of being taken from
// libstdc++'s explicit instantiation object. That object is 33 KB, and for a PE image the linker keeps
// every function of an object it takes at all: the object's unwind tables, which it must keep, refer
// to each of them. -1 is libstdc++'s own setting for "no extern templates in basic_string only" (its
// assertion mode uses it); nothing else changes.
#ifdef __cplusplus
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
#endif
