// Rhythm grid, audition and pattern files. (being written)
#include "keyboard/form1.h"

void Form1::BZXS() {}
void Form1::BZA_Click(int) {}
void Form1::BZB_Click(int) {}
void Form1::BZC_Click(int) {}
void Form1::LblInst_Click(int) {}
void Form1::VsbVol_Click() {}
void Form1::Option1_Click(int) {}
void Form1::BzQd_Click() {}
void Form1::BZDS_Timer() {}
void Form1::Label11_MouseMove() {}
void Form1::Jiezhou_MouseMove(int) {}
void Form1::SaveJZwj() {}
void Form1::OpenJZwj() {}
void Form1::File1_Click() {}
void Form1::Cmdcill_Click(int) {}
