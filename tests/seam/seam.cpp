// Test version of the platform seam: the sys_<name> functions of
// include/platform_calls.def, each consulting the injection table first.
#include "seam.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <type_traits>

namespace {

enum { SLOTS_PER_CALL = 8 };

struct Injection {
    int used;
    void *hook;            // non-null: call this instead
    long long result;      // otherwise: return this
    DWORD last_error;      // after SetLastError(last_error)
    unsigned first;        // first call covered (1-based)
    unsigned times;        // calls covered, 0 for ever
};

unsigned counts[SEAM_COUNT];
Injection table[SEAM_COUNT][SLOTS_PER_CALL];

const char *const call_names[SEAM_COUNT] = {
#define SYS_CALL(ret, name, params, args, real) #name,
#include "platform_calls.def"
#undef SYS_CALL
};

void add_injection(SeamCall call, unsigned nth, Injection injection)
{
    if ((unsigned)call >= SEAM_COUNT) {
        fprintf(stderr, "seam: call number %d out of range\n", (int)call);
        abort();
    }
    injection.first = nth == SEAM_NEXT ? counts[call] + 1 : nth;
    if (injection.times != 0 && injection.first + injection.times - 1 <= counts[call]) {
        fprintf(stderr, "seam: injection for %s covers calls %u..%u, but %u calls are already made\n",
                call_names[call], injection.first, injection.first + injection.times - 1, counts[call]);
        abort();
    }
    for (unsigned i = 0; i < SLOTS_PER_CALL; i++) {
        if (!table[call][i].used) {
            table[call][i] = injection;
            table[call][i].used = 1;
            return;
        }
    }
    fprintf(stderr, "seam: more than %d injections for %s\n", SLOTS_PER_CALL, call_names[call]);
    abort();
}

// Counts the call and returns the injection that covers it, if any.
const Injection *take(SeamCall call)
{
    unsigned n = ++counts[call];
    const Injection *found = NULL;
    for (unsigned i = 0; i < SLOTS_PER_CALL; i++) {
        const Injection *inj = &table[call][i];
        if (!inj->used || n < inj->first)
            continue;
        if (inj->times != 0 && n - inj->first >= inj->times)
            continue;
        found = inj;  // the one set last wins
    }
    return found;
}

template <typename T> T result_as(long long value)
{
    if constexpr (std::is_void_v<T>)
        return;
    else if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<T>(static_cast<intptr_t>(value));
    else
        return static_cast<T>(value);
}

} // namespace

void seam_reset(void)
{
    for (unsigned c = 0; c < SEAM_COUNT; c++) {
        counts[c] = 0;
        for (unsigned i = 0; i < SLOTS_PER_CALL; i++)
            table[c][i] = Injection();
    }
}

void seam_fail(SeamCall call, long long result, DWORD last_error, unsigned nth, unsigned times)
{
    Injection inj = Injection();
    inj.result = result;
    inj.last_error = last_error;
    inj.times = times;
    add_injection(call, nth, inj);
}

void seam_hook(SeamCall call, void *replacement, unsigned nth, unsigned times)
{
    if (replacement == NULL) {
        fprintf(stderr, "seam: null hook for %s\n", call_names[call]);
        abort();
    }
    Injection inj = Injection();
    inj.hook = replacement;
    inj.times = times;
    add_injection(call, nth, inj);
}

unsigned seam_count(SeamCall call)
{
    return (unsigned)call < SEAM_COUNT ? counts[call] : 0;
}

#define SYS_CALL(ret, name, params, args, real)                                 \
    ret sys_##name params                                                      \
    {                                                                          \
        const Injection *inj = take(SEAM_##name);                              \
        if (inj != NULL && inj->hook != NULL)                                  \
            return reinterpret_cast<SeamFn<SEAM_##name>::type>(inj->hook) args; \
        if (inj != NULL) {                                                     \
            SetLastError(inj->last_error);                                     \
            return result_as<ret>(inj->result);                                \
        }                                                                      \
        return real args;                                                      \
    }
#include "platform_calls.def"
#undef SYS_CALL
