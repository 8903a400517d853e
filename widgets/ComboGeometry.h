#pragma once

// Pixel and twip arithmetic of C_ComboBox's pop-up list.

// List height in pixels for a number of items: 12.5 pixels each.
int ComboListHeight(int itemCount);

// Row height in twips for the list font: 20 twips per point.
int ComboRowTwips(double pointSize);

// Row under a pointer y pixels below the top of the list, counting from the first visible row.
int ComboRowAt(int y, double pointSize);

// Screen row of the list's top: below the face when it fits above the screen's bottom, else above the widget.
int ComboListTop(int widgetTop, int faceHeight, int listHeight, int screenBottom);
