#include "app/schedule_panel.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QSignalBlocker>

#include "app/window_helpers.h"

namespace replyvane::app {

namespace {

QDateTimeEdit* AddTimeEdit(QWidget* parent, const char* name, int x) {
  auto* edit = new QDateTimeEdit(parent);
  edit->setObjectName(name);
  edit->setDisplayFormat("yyyy-MM-dd HH:mm");
  edit->setCalendarPopup(true);
  edit->setGeometry(x, 1, 137, kEditHeight);
  QDateTime now = QDateTime::currentDateTime();
  now.setTime(QTime(now.time().hour(), now.time().minute()));
  edit->setDateTime(now);
  return edit;
}

QCheckBox* AddBox(QWidget* parent, const char* name, const char* text, int x) {
  auto* box = new QCheckBox(QString::fromUtf8(text), parent);
  box->setObjectName(name);
  box->setGeometry(x, 3, box->sizeHint().width(), 17);
  return box;
}

}  // namespace

SchedulePanel::SchedulePanel(QWidget* parent) : QWidget(parent) {
  setObjectName("SchedulePanel");
  from_box_ = AddBox(this, "ScheduleFromBox", "Answer from", 0);
  from_ = AddTimeEdit(this, "ScheduleFrom", 104);
  until_box_ = AddBox(this, "ScheduleUntilBox", "until", 256);
  until_ = AddTimeEdit(this, "ScheduleUntil", 312);
  // Once the user ticks or unticks an end, a stored text that was not a
  // time is the user's to replace.
  for (auto [box, edit] : {std::pair{from_box_, from_}, {until_box_, until_}}) {
    edit->setEnabled(false);
    connect(box, &QCheckBox::toggled, edit, &QWidget::setEnabled);
  }
  connect(from_box_, &QCheckBox::toggled, this, [this] {
    if (!responder::ParseScheduleTime(stored_.from)) stored_.from.clear();
    emit Changed();
  });
  connect(until_box_, &QCheckBox::toggled, this, [this] {
    if (!responder::ParseScheduleTime(stored_.until)) stored_.until.clear();
    emit Changed();
  });
  for (QDateTimeEdit* edit : {from_, until_}) {
    connect(edit, &QDateTimeEdit::dateTimeChanged, this,
            &SchedulePanel::Changed);
  }
}

void SchedulePanel::ShowEnd(const std::string& text, QCheckBox* box,
                            QDateTimeEdit* edit) {
  const std::optional<int64_t> instant = responder::ParseScheduleTime(text);
  if (instant) edit->setDateTime(QDateTime::fromSecsSinceEpoch(*instant));
  box->setChecked(instant.has_value());
  edit->setEnabled(instant.has_value());
}

void SchedulePanel::SetValue(const responder::Schedule& value) {
  {
    const QSignalBlocker blockers[] = {
        QSignalBlocker(from_box_), QSignalBlocker(from_),
        QSignalBlocker(until_box_), QSignalBlocker(until_)};
    ShowEnd(value.from, from_box_, from_);
    ShowEnd(value.until, until_box_, until_);
  }
  stored_ = value;
  emit Changed();
}

std::string SchedulePanel::EndText(const QCheckBox* box,
                                   const QDateTimeEdit* edit,
                                   const std::string& stored) const {
  const std::optional<int64_t> known = responder::ParseScheduleTime(stored);
  if (!box->isChecked()) return known || stored.empty() ? "" : stored;
  // The box shows minutes; its seconds are those of the stored time, or 0.
  const int64_t instant = edit->dateTime().toSecsSinceEpoch();
  // The same instant keeps the text it was stored with (its offset too).
  if (known == instant) return stored;
  return responder::ScheduleTimeText(instant);
}

responder::Schedule SchedulePanel::Value() const {
  return {EndText(from_box_, from_, stored_.from),
          EndText(until_box_, until_, stored_.until)};
}

}  // namespace replyvane::app
