// The installation's journal: what this run changed on the machine, in the
// order it changed it, kept in memory so that a run that fails part-way can
// take its own changes back and leave the machine as it found it. Only what
// the run made is taken back: a file that stood before the run is never
// deleted, and what waits for the next start of Windows stays.
#include <string.h>

#include "engine.h"
#include "platform.h"
#include "registry.h"
#include "setup.h"
#include "shell.h"
#include "text.h"
#include "ui.h"

enum {
    JOURNAL_FIRST_ROOM = 32,
    // A file entry notes at most its file and its shared count.
    JOURNAL_STEPS_PER_ENTRY = 2,
    // Far beyond any medium; the block's size stays well within 32 bits.
    JOURNAL_MOST_ROOM = 1 << 20,
};

// One change the run made.
struct JournalStep {
    JournalKind kind;
    unsigned char count_existed; // a count: there was a value before
    DWORD count_type;            // its type, length and number before
    DWORD count_length;
    DWORD count_before;
    char path[SETUP_PATH_SIZE]; // the folder, the file or the count's value name
};

static JournalStep *journal_steps(void)
{
    return (JournalStep *)session.journal;
}

static int grow_journal(unsigned int wanted)
{
    if (session.journal_room >= wanted)
        return 1;
    unsigned int room = session.journal_room;
    if (room == 0)
        room = JOURNAL_FIRST_ROOM;
    while (room < wanted && room < JOURNAL_MOST_ROOM)
        room *= 2;
    SIZE_T bytes = (SIZE_T)room * sizeof(JournalStep);
    HGLOBAL block = NULL;
    if (room >= wanted)
        block = session.journal == NULL ? sys_GlobalAlloc(GMEM_FIXED, bytes)
                                        : sys_GlobalReAlloc(session.journal, bytes, GMEM_MOVEABLE);
    if (block == NULL) {
        log_event("the journal of this installation cannot grow to %u steps", room);
        return 0;
    }
    session.journal = block;
    session.journal_room = room;
    return 1;
}

int journal_make_room(void)
{
    return grow_journal(session.journal_steps + JOURNAL_STEPS_PER_ENTRY);
}

// The next step, or NULL when it cannot be kept. A path that does not fit
// whole is not kept either: cut short it would name something else.
static JournalStep *new_step(JournalKind kind, const char *path)
{
    if (strlen(path) >= sizeof journal_steps()->path || !grow_journal(session.journal_steps + 1)) {
        log_event("%s: not noted in the journal; a failure will leave it", path);
        return NULL;
    }
    JournalStep *step = &journal_steps()[session.journal_steps++];
    memset(step, 0, sizeof *step);
    step->kind = kind;
    text_copy(step->path, sizeof step->path, path);
    return step;
}

void journal_note(JournalKind kind, const char *path)
{
    new_step(kind, path);
}

void journal_note_count(const char *value_name, int existed, DWORD type, DWORD length, DWORD before)
{
    JournalStep *step = new_step(JournalCountRaised, value_name);
    if (step == NULL)
        return;
    step->count_existed = existed;
    step->count_type = type;
    step->count_length = length;
    step->count_before = before;
}

void journal_note_scheduled(const char *path)
{
    // The temporary copy made for the replacement must stay for it.
    for (unsigned int n = session.journal_steps; n-- > 0;) {
        JournalStep *step = &journal_steps()[n];
        if (step->kind == JournalFileCreated && text_equal_nocase(step->path, path)) {
            step->kind = JournalReplacementScheduled;
            return;
        }
    }
    journal_note(JournalReplacementScheduled, path);
}

void forget_journal(void)
{
    if (session.journal != NULL)
        sys_GlobalFree(session.journal);
    session.journal = NULL;
    session.journal_steps = 0;
    session.journal_room = 0;
}

// A file this run created: deleted, or when that is refused (in use),
// deleted at the next start of Windows.
static void undo_file(HWND dialog, const char *path)
{
    note_file_names(dialog, path, NULL);
    if (delete_installed_file(path)) {
        log_event("undo: %s deleted", path);
        return;
    }
    if (sys_GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES && path_not_found()) {
        log_event("undo: %s is gone already", path);
        return;
    }
    log_event("undo: %s could not be deleted; %s", path,
              delete_file_at_restart(path) ? "deleted at the next start of Windows" : "it stays");
}

// The folder this run created goes once it is empty: a user's file put
// there meanwhile keeps it.
static void undo_folder(const char *path)
{
    // The run's current directory would keep it.
    sys_SetCurrentDirectoryA(session.windows_dir);
    log_event("undo: folder %s %s", path, sys_RemoveDirectoryA(path) ? "removed" : "not empty or in use; it stays");
}

static void undo_step(HWND dialog, const JournalStep *step)
{
    switch (step->kind) {
    case JournalFolderCreated:
        undo_folder(step->path);
        break;
    case JournalFileCreated:
        undo_file(dialog, step->path);
        break;
    case JournalFileReplaced:
        log_event("undo: %s was replaced by this run; its new content stays", step->path);
        break;
    case JournalCountRaised:
        restore_shared_count(step->path, step->count_existed, step->count_type, step->count_length,
                             step->count_before);
        break;
    case JournalReplacementScheduled:
        log_event("undo: %s waits for the next start of Windows; it stays", step->path);
        break;
    }
}

void undo_installation(HWND dialog)
{
    unsigned int steps = session.journal_steps;
    log_event("the installation failed: %u changes to take back", steps);
    for (unsigned int n = steps; n-- > 0;)
        undo_step(dialog, &journal_steps()[n]);
}
