// The platform class ids the program creates objects of, and the shell's handler ids it binds,
// defined here from the platform headers themselves, each in a section of its own: the import
// library's single object that also holds them brings hundreds of other ids along, which lld
// cannot drop.
#include <initguid.h>

#include <shlguid.h>
#include <shobjidl.h>
#include <uiautomationclient.h>
