// Test version of the platform seam. Tests link this library in place of the
// product's plain forwarders: every sys_<name> call first looks at an
// injection table and either goes to the platform, returns a chosen failure,
// or goes to a test's own function of the same signature.
//
//   seam_fail(SEAM_GetVersion, 0x80000004, 0);          // next call: 95/98
//   seam_fail(SEAM_RegCreateKeyExA, ERROR_ACCESS_DENIED, 0, 2, 0);
//                                                        // 2nd call on, always
//   seam_hook<SEAM_VerInstallFileA>(fake_install);       // typed hook
//   seam_fail_at(SEAM_CreateFileA, 3);                   // 3rd call fails
//                                                        // as documented
//
// Calls are counted from the last seam_reset(); nth is 1-based on that count,
// or SEAM_NEXT for the next call from now. An injection that could only cover
// calls already made stops the program (it would silently test nothing).
// When several injections cover the same call, the one set last wins.
#pragma once

#include "platform.h"

enum SeamCall {
#define SYS_CALL(ret, name, params, args, real) SEAM_##name,
#include "platform_calls.def"
#undef SYS_CALL
    SEAM_COUNT
};

enum { SEAM_NEXT = 0 };

// Clears every injection and every counter.
void seam_reset(void);

// From the nth call on, for `times` calls (0: for ever), the call does not
// reach the platform: it sets last_error and returns result, converted to the
// call's result type (handles and pointers from the integer).
void seam_fail(SeamCall call, long long result, DWORD last_error, unsigned nth = 1,
               unsigned times = 1);

// The way a call fails as the platform documents it: the result and the last
// error (for DDEML calls, the DdeGetLastError code). Returns 0 for the calls
// that cannot fail (GetVersion, GetTickCount, CommDlgExtendedError).
struct SeamFailure {
    long long result;
    DWORD last_error;
};
int seam_failure_of(SeamCall call, SeamFailure *failure);

// seam_fail with the call's documented failure: from the nth call on
// (SEAM_NEXT: the next), for `times` calls (0: for ever). Stops the program
// for a call that cannot fail.
void seam_fail_at(SeamCall call, unsigned nth = 1, unsigned times = 1);

// The call's name, for reports.
const char *seam_call_name(SeamCall call);

// From the nth call on, for `times` calls (0: for ever), the call goes to
// replacement, a function with the same parameters and result as sys_<name>.
void seam_hook(SeamCall call, void *replacement, unsigned nth = 1, unsigned times = 1);

// Calls made so far (injected or not) since the last reset.
unsigned seam_count(SeamCall call);

// The function type of each call, for type-checked hooks.
template <SeamCall C> struct SeamFn;
#define SYS_CALL(ret, name, params, args, real) \
    template <> struct SeamFn<SEAM_##name> {    \
        typedef ret(*type) params;              \
    };
#include "platform_calls.def"
#undef SYS_CALL

template <SeamCall C>
void seam_hook(typename SeamFn<C>::type replacement, unsigned nth = 1, unsigned times = 1)
{
    seam_hook(C, reinterpret_cast<void *>(replacement), nth, times);
}
