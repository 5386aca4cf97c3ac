#include "setup.h"

SetupSession session;
