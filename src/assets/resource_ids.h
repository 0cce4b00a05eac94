#pragma once
// Resource identifiers shared by callwright.rc and the code that loads the pictures.
#define IDI_CALLWRIGHT 1
