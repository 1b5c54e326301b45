// Computer-keyboard and mouse playing. (being written)
#include "keyboard/form1.h"

void Form1::SFYXYZ_KeyDown(int, int) {}
void Form1::SFYXYZ_Click() {}
void Form1::SFYXYZ_GotFocus() {}
void Form1::SFYXYZ_LostFocus() {}
void Form1::Text3_Change() {}
void Form1::Picture1_DragOver(int) {}
void Form1::Label1_MouseMove() {}
void Form1::ShowKeyUp(int) {}
void Form1::ShowKeyDown(int) {}
int Form1::KeyAt(int, int) { return -1; }
