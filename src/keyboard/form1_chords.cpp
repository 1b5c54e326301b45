// Chord models, chord order and chord accompaniment. (being written)
#include "keyboard/form1.h"

void Form1::CSHX() {}
void Form1::Command3_Click() {}
void Form1::HXCSH() {}
void Form1::HXYPSB() {}
void Form1::ZDHXSC() {}
void Form1::Text4_LostFocus() {}
void Form1::Text5_LostFocus() {}
void Form1::Text6_GotFocus() {}
void Form1::Text6_LostFocus() {}
void Form1::Command4_Click() {}
void Form1::BZHX() {}
void Form1::BZHX2() {}
void Form1::HX1K() {}
void Form1::HX2K() {}
void Form1::ZNHX() {}
void Form1::Timer4_Timer() {}
void Form1::Check6_Click() {}
void Form1::HXYS_Timer() {}
void Form1::HxYL_Click() {}
void Form1::Combo1_Click() {}
void Form1::Combo3_Click() {}
void Form1::xuanyue_Click() {}
void Form1::xuanyue_Change() {}
