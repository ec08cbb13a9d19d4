#pragma once
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class TfrmLumora;

// The two channel pages (A-F and G-L): per channel a name label, a colour-name list, a
// level slider, a percent edit and OFF/ON buttons; plus the "all channels" and step-size
// commands and the channel names shown throughout the window.
class ChannelsPage : public QObject {
    Q_OBJECT
public:
    explicit ChannelsPage(TfrmLumora *window);

    // The sixteen colour names in every channel's list (after the language is loaded).
    void fillColourLists();
    // Channel part of ShowInfo: controls follow Info.Level, except the focused one.
    void showInfo();
    // Names ("A: Red") and tints of every place that labels a channel.
    void showChannelNames();
    // Level controls are usable in Manual mode only.
    void enableForMode(bool manual);

    void trbAChange(int channel);
    void edtAChange(int channel);
    void btnOffAClick(int channel);
    void btnOnAClick(int channel);
    void cmbNameAChange(int channel);
    void mnuAllOffClick() { setAll(0); }
    void mnuAll20Click() { setAll(819); }
    void mnuAllOnClick() { setAll(4096); }
    void mnuStepBigClick();

private:
    void buildPage(QWidget *page, int firstChannel);
    void setLevel(int channel, int level);
    void setAll(int level);
    // The window's control of that name. The refreshes run with every poll of the
    // controller, and a search of the whole window for each of their ~100 controls costs
    // more than the rest of the refresh: each is looked up once.
    template <class T> T *control(const QString &name);

    TfrmLumora *w;
    QHash<QString, QPointer<QObject>> m_controls;
};
