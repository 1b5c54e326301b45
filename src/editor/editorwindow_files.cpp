// The song file and score import buttons: "保存编辑", "打开编辑文件",
// "导入记录乐谱".
#include "editor/editorwindow.h"

void YYBJ::BCBJ_Click() {}
void YYBJ::DkBianji_Click() {}
void YYBJ::DRYP_Click() {}
