// Scenario files of the UI driver: parsing and window matching. The grammar
// is described at the top of uidriver.cpp and in README.md.
//
// Nothing here calls Windows: built natively too and tested there.
#pragma once

#include <stddef.h>

#include "window_model.h"

enum {
    SCN_MAX_STEPS = 512,
    SCN_MAX_TERMS = 8,
    SCN_VALUE_MAX = 512,
    SCN_TEXT_MAX = 2048,
    SCN_ERROR_MAX = 256,
};

enum ScnOp {
    SCN_EXPECT = 1,
    SCN_CLICK,
    SCN_TYPE,
    SCN_KEY,
    SCN_CLOSE,
    SCN_SHOT,
    SCN_SLEEP,
    SCN_WAIT_EXIT,
    SCN_WAIT_GONE,
    SCN_STRICT,
    SCN_TIMEOUT,
    SCN_WAIT_MATCH,
    SCN_BACK,
    SCN_ANSWER,
};

enum ScnField { SCN_F_CAPTION = 1, SCN_F_CLASS, SCN_F_TEXT, SCN_F_KIND, SCN_F_ICON };
enum ScnCompare { SCN_EQUAL = 1, SCN_CONTAINS };
enum ScnKey { SCN_KEY_ESCAPE = 1, SCN_KEY_ENTER };

struct ScnTerm {
    int field;    // ScnField
    int compare;  // ScnCompare
    int number;   // kind or icon for SCN_F_KIND / SCN_F_ICON
    char value[SCN_VALUE_MAX];  // UTF-8
};

struct ScnStep {
    int op;       // ScnOp
    int line;     // line number in the file, from 1
    int nterms;
    ScnTerm terms[SCN_MAX_TERMS];
    long number;  // control id, key, milliseconds, seconds, 0/1 for strict, key or 0 for answer
    char text[SCN_TEXT_MAX];  // type's text, shot's name
};

struct Scenario {
    int nsteps;
    ScnStep steps[SCN_MAX_STEPS];
    char error[SCN_ERROR_MAX];  // "line N: ..." when parsing failed
};

// Parses n bytes of UTF-8 text (a leading byte-order mark is skipped).
// Returns 1, or 0 with s->error set.
int scenario_parse(const char *text, size_t n, Scenario *s);

// 1 when every term of an expect or wait-match step holds for w.
int scenario_match(const ScnStep *step, const UidWindow *w);

// Short name of an operation ("expect", "click", ...).
const char *scenario_op_name(int op);

// One line describing a step for messages: `expect caption="..." ...`.
void scenario_describe(const ScnStep *step, char *out, size_t size);
