// Resource ids of the status monitor application: the dialog, its controls and
// its texts. Shared by the resource script, the program and its tests.
#pragma once

#define IDD_STATUS 100
#define IDI_APP 101

// Controls of the status dialog.
#define IDC_PRINTER 1001
#define IDC_DOCUMENT 1002
#define IDC_MEDIA 1003
#define IDC_PAGE 1004
#define IDC_PROGRESS 1005
#define IDC_STATE_ICON 1006
#define IDC_STATE 1007
#define IDC_ADVICE 1008
#define IDC_CONTINUE 1010
#define IDC_PAUSE 1011
#define IDC_CANCEL_JOB 1012

// General texts.
#define IDS_APP_TITLE 1
#define IDS_WINDOW_TITLE 2
#define IDS_NOT_STARTED_BY_MONITOR 3
#define IDS_CONNECTING 10
#define IDS_PRINTING 11
#define IDS_PRINTING_ADVICE 12
#define IDS_WAITING_ADVICE 13
#define IDS_PAUSED 14
#define IDS_PAUSED_ADVICE 15
#define IDS_RESUMING 16
#define IDS_RESUMING_ADVICE 17
#define IDS_NOTICE_ADVICE 18
#define IDS_MONITOR_GONE 19
#define IDS_MONITOR_GONE_ADVICE 20
#define IDS_CANNOT_ANSWER_ADVICE 21
#define IDS_AUTO_CONTINUE 22
#define IDS_PAGE_OF 30
#define IDS_PAGE 31
#define IDS_PAUSED_AT_OF 44
#define IDS_PAUSED_AT 45
#define IDS_STOPPED_AT_OF 46
#define IDS_STOPPED_AT 47
#define IDS_MEDIA_FORMAT 32
#define IDS_MEDIA_CAPTION_FORMAT 33
#define IDS_MEDIA_NONE 34
#define IDS_MEDIA_CONTINUOUS 35
#define IDS_MEDIA_DIE_CUT 36
#define IDS_MEDIA_TYPE 37
#define IDS_JOB_MEDIA_UNKNOWN 38
#define IDS_CONTINUE 39
#define IDS_PAUSE 40
#define IDS_RESUME 41
#define IDS_CANCEL 42
#define IDS_CLOSE 43
#define IDS_UNKNOWN_ERROR 50
#define IDS_UNKNOWN_ERROR_ADVICE 51
#define IDS_UNKNOWN_FATAL 52
#define IDS_UNKNOWN_FATAL_ADVICE 53

// The states' texts: a headline and what to do, named by the monitor's state table.
#include "core/state_texts.h"

// The status window's class, so that instances and tests can find it.
#define STATUS_WINDOW_CLASS "QXSMON Status"
