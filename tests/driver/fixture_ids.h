// Resource and control ids of the UI driver's fixture program.
#pragma once

#define IDD_FIXTURE_PROGRESS 100
#define IDC_FIXTURE_STATUS 1001
#define IDC_FIXTURE_BAR 1002
#define IDC_FIXTURE_NOTE 1003
