#pragma once
// Keys and mouse buttons as the applet receives them.

namespace vl {

enum EKey {
  Key_None = 0,
  Key_0 = 1, Key_1, Key_2, Key_3, Key_4, Key_5, Key_6, Key_7, Key_8, Key_9,
  Key_A = 11, Key_B = 12, Key_C = 13, Key_D = 14, Key_E = 15, Key_F = 16, Key_G = 17, Key_H = 18,
  Key_I = 19, Key_J = 20, Key_K = 21, Key_L = 22, Key_M = 23, Key_N = 24, Key_O = 25, Key_P = 26,
  Key_Q = 27, Key_R = 28, Key_S = 29, Key_T = 30, Key_U = 31, Key_V = 32, Key_W = 33, Key_X = 34,
  Key_Y = 35, Key_Z = 36,
  Key_Return = 37, Key_BackSpace = 38, Key_Tab = 39, Key_Space = 40,
  Key_Escape = 80,
  Key_Left = 87, Key_Right = 88, Key_Up = 89, Key_Down = 90,
  Key_F1 = 91, Key_F2 = 92, Key_F3 = 93, Key_F4 = 94, Key_F5 = 95, Key_F6 = 96, Key_F7 = 97,
  Key_F8 = 98, Key_F9 = 99, Key_F10 = 100, Key_F11 = 101, Key_F12 = 102,
  Key_Unknown = 200,
};

enum EMouseButton { NoButton = 0, LeftButton = 1, RightButton = 2, MiddleButton = 4, UnknownButton = 8 };

} // namespace vl
