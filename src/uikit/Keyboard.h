#pragma once
// The keyboard in the docks as in a dialog: Enter (or Return) presses the push button that
// has the focus, as Space does.

class QWidget;

namespace orthaven {

// Every push button below root (those there now) presses on Enter when it has the focus.
void pressButtonsWithEnter(QWidget* root);

} // namespace orthaven
