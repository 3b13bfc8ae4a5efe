#include "fields/form4.h"

#include "app/messages.h"
#include "app/paths.h"
#include "app/recordwindowlink.h"

Form4::Form4(MessageService&, const AppPaths&, RecordWindowLink&, QWidget* parent)
    : QDialog(parent) {}

Form4::~Form4() = default;
