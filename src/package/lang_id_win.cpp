#include "package/lang_id.h"

#include <windows.h>

uint32_t SystemThreadLocale()
{
    return static_cast<uint32_t>(GetThreadLocale());
}
