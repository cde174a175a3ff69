#include "support/next_modal.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace frosk::test {

void OnNextModal(const std::function<void(QWidget* modal)>& answer) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, answer] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    answer(modal);
  });
  poll->start(5);
}

}  // namespace frosk::test
