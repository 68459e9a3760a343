#pragma once
// A headless run without a script has nobody to answer the program's message boxes and
// open-file dialogs: each box takes its default button at once and each dialog is cancelled at
// once, and a line on the error output tells of it (the box's caption, text and answer; the
// dialog's title and filters).

#include <cstdio>

// Makes MessageBoxW and GetOpenFileNameW answer so (platform::SetMessageBoxSink,
// platform::SetOpenFilePresenter), each line written to told.
void AnswerUnseenBoxesAndDialogs(std::FILE* told);
