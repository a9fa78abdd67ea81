#include "Dialogs.h"

#include "LocalAddress.h"
#include "SpeedLevels.h"
#include "TBufferSet.h"
#include "TButton.h"
#include "TInfor.h"
#include "TLabel.h"
#include "TPlainMessage.h"
#include "TPrompt.h"
#include "TSaveQuery.h"

#include <QApplication>
#include <QPointer>

namespace {

// Runs the dialog's own loop and deletes it, unless its owner already did while it was open.
template <typename Dialog>
int ExecOnce(Dialog* dialog)
{
    QPointer<Dialog> guard(dialog);
    const int result = dialog->exec();
    if (!guard)
        return QDialog::Rejected;
    delete guard.data();
    return result;
}

// A modal window already open wins over the caller's owner, so the new one stacks above it.
QWidget* StackParent(QWidget* owner)
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return owner ? owner : QApplication::activeWindow();
}

}  // namespace

QWidget* ModalOwner()
{
    return StackParent(nullptr);
}

bool AskQuery(const QString& line1, const QString& line2, const QString& title,
              const QString& yesCaption, const QString& noCaption)
{
    auto* query = new TSaveQuery(ModalOwner());
    if (!title.isEmpty())
        query->setWindowTitle(title);
    query->Label1->setText(line1);
    query->Label2->setText(line2);
    if (!yesCaption.isEmpty())
        query->Button1->setText(yesCaption);
    if (!noCaption.isEmpty())
        query->Button2->setText(noCaption);
    return ExecOnce(query) == 1;
}

void ShowNotice(const QString& title, const QString& message)
{
    auto* notice = new TPrompt(ModalOwner());
    notice->Label1->setText(message);
    notice->setWindowTitle(title);
    ExecOnce(notice);
}

void ShowPlainMessage(const QString& text)
{
    ExecOnce(new TPlainMessage(QMessageBox::NoIcon, text, ModalOwner()));
}

void RunSpeedWindow(QWidget* owner, TransferSettings& settings)
{
    auto* window = new TBufferSet(settings.SpeedLevel, StackParent(owner));
    QPointer<TBufferSet> guard(window);
    const int result = window->exec();
    const int level = guard ? guard->SpeedLevel() : 0;
    delete guard.data();
    if (result == 1 && level != 0)
        ApplySpeedLevel(settings, level);
}

void RunInfoWindow(QWidget* owner)
{
    auto* window = new TInfor(StackParent(owner));
    window->Label5->setText(QStringLiteral("Your Current IP Address is : ") + LocalAddress());
    ExecOnce(window);
}
