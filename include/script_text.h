// Value forms of the setup script that need no platform call.
#pragma once

// Turn the escapes \t and \n into tab and line feed, in place.
void script_turn_escapes(char *text);

// A leading decimal number (blanks and one sign allowed before it), or the
// fallback when the text does not start with one.
int script_parse_int(const char *text, int fallback);

// A leading unsigned decimal number (blanks and a plus sign allowed before
// it), clamped at 4294967295; the fallback when the text does not start with
// one. Byte counts are unsigned 32-bit values.
unsigned int script_parse_uint(const char *text, unsigned int fallback);
