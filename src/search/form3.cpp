#include "search/form3.h"

#include "app/messages.h"
#include "app/paths.h"
#include "app/recordwindowlink.h"

Form3::Form3(MessageService&, const AppPaths&, RecordWindowLink&, QWidget* parent)
    : QDialog(parent) {}

Form3::~Form3() = default;
