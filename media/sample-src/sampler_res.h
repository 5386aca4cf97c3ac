/* Resource numbers of Sampler.exe. */
#ifndef SAMPLER_RES_H
#define SAMPLER_RES_H

#define IDM_MAIN            100
#define IDM_EXIT            101
#define IDM_ABOUT           102

#define IDS_TITLE           200
#define IDS_FONT_FACE       201
#define IDS_SETTINGS_KEY    202
#define IDS_LOG_STARTED     203
#define IDS_ABOUT_TEXT      204
#define IDS_ABOUT_TITLE     205

#endif
