// Plain forwarders from the seam to the platform.
#include "platform.h"

#define SYS_CALL(ret, name, params, args, real) \
    ret sys_##name params { return real args; }
#include "platform_calls.def"
#undef SYS_CALL
