// Melody voices, tempo and key. (being written)
#include "keyboard/form1.h"

void Form1::ComSounds_Click(int) {}
void Form1::ComSounds_Change(int) {}
void Form1::Zxlyl_Click(int) {}
void Form1::Zxlyl_Change(int) {}
void Form1::Check3_Click(int) {}
void Form1::SD_Click() {}
void Form1::SD_LostFocus() {}
void Form1::YD_Click() {}
void Form1::YD_Change() {}
