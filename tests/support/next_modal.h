#pragma once

#include <functional>

class QWidget;

namespace frosk::test {

// Runs `answer` on the next modal dialog as soon as it is up, from inside
// that dialog's own event loop: the test's stand-in for a user at the screen.
void OnNextModal(const std::function<void(QWidget* modal)>& answer);

}  // namespace frosk::test
