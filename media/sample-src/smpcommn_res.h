/* Resource numbers of SMPCOMMN.DLL. */
#ifndef SMPCOMMN_RES_H
#define SMPCOMMN_RES_H

#define IDS_GREETING_MORNING   100
#define IDS_GREETING_DAY       101
#define IDS_GREETING_EVENING   102
#define IDS_GREETING_NIGHT     103
#define IDS_DATE_FORMAT        110
#define IDS_WEEKDAYS           111

#endif
