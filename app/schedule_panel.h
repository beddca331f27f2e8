// The schedule part of Responder Settings: "Answer from [date time] until
// [date time]", each end switched on by its own box (both off by
// default). An end shows the stored instant in local time; one the user
// leaves alone is saved as it was stored, byte for byte, and a stored text
// that is not a time stays as it was (the check says why it stops) until
// the user ticks its box and chooses a time.
#ifndef REPLYVANE_APP_SCHEDULE_PANEL_H_
#define REPLYVANE_APP_SCHEDULE_PANEL_H_

#include <QWidget>
#include <string>

#include "responder/schedule.h"

class QCheckBox;
class QDateTimeEdit;

namespace replyvane::app {

class SchedulePanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 24;

  explicit SchedulePanel(QWidget* parent);

  responder::Schedule Value() const;
  void SetValue(const responder::Schedule& value);

  QCheckBox* FromBox() const { return from_box_; }
  QDateTimeEdit* From() const { return from_; }
  QCheckBox* UntilBox() const { return until_box_; }
  QDateTimeEdit* Until() const { return until_; }

 signals:
  // A box ticked or a time changed by the user.
  void Changed();

 private:
  // One end: its stored text, or the box's time as a stored text.
  std::string EndText(const QCheckBox* box, const QDateTimeEdit* edit,
                      const std::string& stored) const;
  void ShowEnd(const std::string& text, QCheckBox* box, QDateTimeEdit* edit);

  QCheckBox* from_box_ = nullptr;
  QDateTimeEdit* from_ = nullptr;
  QCheckBox* until_box_ = nullptr;
  QDateTimeEdit* until_ = nullptr;
  responder::Schedule stored_;
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_SCHEDULE_PANEL_H_
