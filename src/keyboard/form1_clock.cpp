// Live accompaniment clock and drum accents. (being written)
#include "keyboard/form1.h"

void Form1::Timer1_Timer() {}
Form1::i16 Form1::DrumAccent() const { return 0; }
