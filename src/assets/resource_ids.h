#pragma once
// Resource identifiers shared by callwright.rc and the code that loads the pictures.
// All pictures are PNG files embedded as RCDATA.
#define IDI_CALLWRIGHT 1
// Notification-area icon: waiting for the client, linked, recording.
#define IDI_TRAY_WAITING 2
#define IDI_TRAY_LINKED 3
#define IDI_TRAY_RECORDING 4

// Main window: button glyphs (16 x 16, magenta bottom-left pixel = transparent), list icons,
// background and bar gradients.
#define IDP_GLYPH_OPEN 101
#define IDP_GLYPH_DELETE 102
#define IDP_GLYPH_REFRESH 103
#define IDP_GLYPH_BROWSE 104
#define IDP_GLYPH_ABOUT 105
#define IDP_GLYPH_SETTINGS 106
// Close shows Delete's cross: one picture, stored once.
#define IDP_GLYPH_CLOSE IDP_GLYPH_DELETE
#define IDP_LIST_ICON_BLUE 110
#define IDP_LIST_ICON_GREEN 111
#define IDP_MAIN_BACKGROUND 120  // 1 x 237
#define IDP_MAIN_BAR 121         // 1 x 43

// Settings and notice windows.
#define IDP_SETTINGS_HEADER 130   // 343 x 90
#define IDP_GLYPH_FOLDER 131      // 16 x 16
#define IDP_GLYPH_OK 132          // 16 x 16 green tick on magenta
#define IDP_BOTTOM_STRIP IDP_MAIN_BAR  // the main window's bar, stored once

// About window.
#define IDP_ABOUT_HEADER 140      // 332 x 71
#define IDP_ABOUT_BOTTOM 141      // 1 x 43
#define IDP_ICON_YOUTUBE 142      // 24 x 24 each
#define IDP_ICON_TWITTER 143
#define IDP_ICON_FACEBOOK 144
#define IDP_ICON_GOOGLE 145
#define IDP_ICON_MAIL 146
#define IDP_ABOUT_OK 147          // 16 x 16 green tick, transparent background
