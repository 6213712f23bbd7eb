#pragma once

#define IDI_PROGRAM 1
#define IDS_DEFAULT_TITLE 103
#define IDS_DEFAULT_CANCEL 104
