#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <vector>

#include "trends/device_trends.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace frosk {

class RecordingButtons;
class TrendChartView;

// The trends of one connected controller: its charts on one time axis, which
// follow the latest minute, ten minutes, hour or everything, or stay on a
// range the user paused on or dragged over; the status changes with the lock
// time; the value under the mouse; the recording with its file and size; and
// the charts as a PNG picture. Hidden, it draws nothing.
class TTrendsForm : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRedrawMs = 1000;

  explicit TTrendsForm(DeviceTrends& trends, QWidget* parent = nullptr);
  ~TTrendsForm() override;

  TrendChartView* ChartView(size_t index) const { return charts_[index]; }
  bool Following() const { return following_; }
  // The trends times the charts show.
  int64_t FromMs() const { return fromMs_; }
  int64_t ToMs() const { return toMs_; }
  // Brings the charts up to date now, as the redraw timer does.
  void Redraw();

 public slots:
  void TrendsSpanComboBoxChange();
  void TrendsPauseBitBtnClick();
  void TrendsExportBitBtnClick();
  void ChartRangeChosen(int64_t fromMs, int64_t toMs);
  void ChartHovered(std::optional<int64_t> ms);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void BuildLayout();
  void ShowRecording();
  void ShowLockTime();
  // The span the span list names; none for "all".
  std::optional<int64_t> SpanMs() const;

  DeviceTrends& trends_;
  // The trends' time zero on the time axis: the wall clock when they began.
  int64_t anchorMs_;
  bool following_ = true;
  bool dirty_ = true;
  int64_t fromMs_ = 0;
  int64_t toMs_ = 0;
  QTimer redrawTimer_;
  QElapsedTimer redrawAge_;

  QComboBox* spanComboBox_;
  QPushButton* pauseBitBtn_;
  QPushButton* exportBitBtn_;
  QLabel* lockTimeLabel_;
  QLabel* recordingLabel_;
  QLabel* valueLabel_;
  QWidget* chartsPanel_;
  RecordingButtons* recordingButtons_;
  std::vector<TrendChartView*> charts_;
};

}  // namespace frosk
