// Numbers shared by the resource script and the shell. The resource compiler reads
// only the preprocessor, so they are macros; the shell checks them against the
// shared constants of the shell texts.
#pragma once

#define TESSARO_MAIN_FRAME 128
#define TESSARO_ABOUT_BOX 100
#define TESSARO_ICON 139
#define TESSARO_PAN_CURSOR 132
#define TESSARO_EXAMINE_CURSOR 134
#define TESSARO_ZOOM_CURSOR 135

#define TESSARO_PAN 32777
#define TESSARO_EXAMINE 32778
#define TESSARO_ZOOM 32779
#define TESSARO_DEFAULT_VIEW 32780
#define TESSARO_APP_NAME 57344
#define TESSARO_IDLE_MESSAGE 57345
#define TESSARO_OPEN 57601
#define TESSARO_CLOSE 57602
#define TESSARO_ABOUT 57664
#define TESSARO_EXIT 57665
#define TESSARO_TOOLBAR 59392
#define TESSARO_STATUS_BAR 59393
#define TESSARO_CAPS 59137
#define TESSARO_NUM 59138
#define TESSARO_SCROLL 59139

// The editing and pane keys of the accelerator table; nothing handles them.
#define TESSARO_EDIT_COPY 57634
#define TESSARO_EDIT_CUT 57635
#define TESSARO_EDIT_PASTE 57637
#define TESSARO_EDIT_UNDO 57643
#define TESSARO_NEXT_PANE 57680
#define TESSARO_PREVIOUS_PANE 57681
