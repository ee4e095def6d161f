// Dialog templates of the language libraries and the identifiers of their
// controls: plain definitions, so that resource scripts can include this
// header.
#pragma once

// About box: the program's name and version, and a link-like button to the
// download page.
#define IDD_ABOUT 100
#define IDC_ABOUT_VERSION 1000   // static: "Morrowpad 1.0"
#define IDC_ABOUT_DOWNLOAD 1001  // button: sends 2003 to the frame

// Window list (command 1207): every open document, several can be chosen.
#define IDD_WINDOW_LIST 220
#define IDC_WINDOW_LIST 1000      // list box, extended selection
#define IDC_WINDOW_ACTIVATE 1001  // activate the chosen document
#define IDC_WINDOW_SAVE 1002      // save the chosen documents
#define IDC_WINDOW_CLOSE 1003     // close the chosen documents

// The small floating dialog of full-screen mode: both buttons (1 and 2)
// switch full screen off.
#define IDD_FULL_SCREEN 221
