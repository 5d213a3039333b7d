#include "saved_list/SavedListPanel.h"

SavedListPanel::SavedListPanel(QWidget *parent)
    : QWidget(parent)
{
    ui.setupUi(this);
}
