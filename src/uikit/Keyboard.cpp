#include "uikit/Keyboard.h"

#include <QPushButton>

namespace orthaven {

void pressButtonsWithEnter(QWidget* root)
{
    // A push button outside a dialog takes Enter only when it is an auto-default one; it
    // draws no different there.
    for (QPushButton* button : root->findChildren<QPushButton*>())
        button->setAutoDefault(true);
}

} // namespace orthaven
