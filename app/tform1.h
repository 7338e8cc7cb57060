// The main window: header, six pages, the shared bottom strip, the serial
// component Comm1 and the three one-shot timers.
//
// Every control is a public member named after its design name, which is also
// its objectName. Every handler is a public method; the window wires each to
// its control's operator event (clicks, the operator's choice in a list, typed
// text), never to programmatic changes, and runs it through ortiva::Guarded.
// The handler bodies live in one file per subsystem (form_*.cpp).
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "exchange_rules.h"
#include "form_fields.h"
#include "hart_frames.h"
#include "plan_runner.h"
#include "plans.h"
#include "port_catalog.h"
#include "port_watch.h"
#include "profile.h"

class QAction;
class QCheckBox;
class QDialog;
class QMenuBar;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QTabWidget;
class OneShotTimer;
class TComm;
class TObject;
namespace ortiva {
class LiveValuesWindow;
}

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- Non-visual parts -------------------------------------------------
    TComm* Comm1 = nullptr;
    OneShotTimer* Timer2 = nullptr;  // parse tick, 300 ms
    OneShotTimer* Timer3 = nullptr;  // reply timeout, 1000 ms until a sender sets 3000 ms
    OneShotTimer* Timer4 = nullptr;  // delayed close, set by its starters
    ortiva::ExchangeState Exchange;
    ortiva::FormFields Fields{this};  // the controls by design name, for decoders
    ortiva::HartIdentity Hart;        // the instrument last read with HART command 0
    // Where the port list finds the devices present (replaceable for tests).
    std::function<std::vector<ortiva::PortRecord>()> PresentPorts = ortiva::PresentPorts;
    // Holds everything the window shows and scrolls it when the screen is too
    // small for the layout.
    QScrollArea* ClientArea = nullptr;
    // Watches for a lost port to come back, and the offer to open it again
    // (objectName "ReconnectOffer"; null while none is shown).
    ortiva::PortWatch* PortWatcher = nullptr;
    QMessageBox* ReconnectOffer = nullptr;

    // ---- Menu bar (above the design's client area) ---------------------------
    QMenuBar* MenuBar = nullptr;
    QAction* SaveConfigAction = nullptr;     // File, Ctrl+S
    QAction* RestoreConfigAction = nullptr;  // File, Ctrl+O
    QAction* CompareConfigAction = nullptr;  // File
    QAction* QuitAction = nullptr;           // File, Ctrl+Q
    QAction* LiveValuesAction = nullptr;     // Tools
    QAction* AboutAction = nullptr;          // Help
    QAction* CliHelpAction = nullptr;        // Help
    // Runs the File menu's reads and writes over Comm1; while it is busy,
    // Comm1's chunks go to it, not to the design's receive path.
    ortiva::PlanRunner* Runner = nullptr;
    // The last compare's table (objectName "CompareResult", its table
    // "CompareTable"); null when none is shown.
    QDialog* CompareResult = nullptr;
    // The profile file for a File menu action, "" when none was chosen: a
    // file dialog (replaceable for tests).
    std::function<QString(bool forSaving)> ChooseProfileFile;
    // The connected module's firmware as its last communication query
    // reply gave it ("" while unknown).
    QString ModuleFirmware;
    // Tools -> "Live Values…" (objectName "LiveValues"), made when first opened.
    ortiva::LiveValuesWindow* LiveValues = nullptr;

    // ---- Header ------------------------------------------------------------
    QLabel* Image1;
    QLabel* Label41;
    QLabel* Label77;
    QLabel* Label76;
    QLabel* Label82;
    QLabel* Label52;
    QLabel* Label8;   // double-click target, shows nothing
    QLabel* Label51;  // double-click target, shows nothing

    // ---- Pages -------------------------------------------------------------
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QWidget* TabSheet3;
    QWidget* TabSheet10;
    QWidget* TabSheet4;
    QWidget* TabSheet5;

    // ---- Bottom strip ------------------------------------------------------
    QLabel* Label40;
    QLineEdit* Edit8;  // Send Buffer
    QLabel* Label60;
    QPlainTextEdit* Memo10;  // Receive Buffer
    QPushButton* Button26;

    // ---- "System Parameter" ------------------------------------------------
    QGroupBox* GroupBox1;
    QLabel* Label14;
    QComboBox* SPREALCOM;
    QLabel* Label26;
    QComboBox* ComboBox11;
    QLabel* Label25;
    QComboBox* ComboBox10;
    QPushButton* Button1;
    QPushButton* Button6;

    QGroupBox* GroupBox4;
    QLabel* Label17;
    QComboBox* ComboBox2;
    QLabel* Label18;
    QComboBox* ComboBox4;
    QPushButton* Button5;

    QGroupBox* GroupBox18;
    QLabel* Label54;
    QComboBox* ComboBox8;
    QLabel* Label56;
    QComboBox* ComboBox9;
    QPushButton* Button9;

    QGroupBox* GroupBox14;
    QLabel* Label11;
    QLineEdit* Edit6;
    QLabel* Label12;
    QPushButton* Button27;

    QGroupBox* GroupBoxPCBSN;  // the board serial number group (no caption)
    QLabel* Label89;
    QLineEdit* PCBSN;
    QLabel* Label94;
    QComboBox* JIANZHI;
    QPushButton* Button60;

    QGroupBox* GroupBox21;
    QLabel* Label16;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;

    QGroupBox* GroupBox7;
    QLabel* Label1;
    QComboBox* ComboBox7;
    QPushButton* Button24;

    QGroupBox* GroupBox15;
    QLabel* Label2;
    QLineEdit* Edit14;
    QPushButton* Button29;

    QGroupBox* GroupBox2;
    QLabel* Label32;
    QComboBox* RS485ADY;
    QPushButton* Button15;
    QLabel* Label4;
    QComboBox* RS485BDY;
    QPushButton* Button33;

    QGroupBox* GroupBox24;
    QLabel* Label36;
    QLineEdit* ABadr;
    QPushButton* Button28;
    QLabel* Label37;
    QLineEdit* BBadr;
    QPushButton* Button32;

    QPushButton* Button30;
    QPushButton* Button23;

    // ---- "Transparent Mode" ------------------------------------------------
    QGroupBox* GroupBox5;
    QLabel* Label39;
    QLineEdit* Edit9;
    QLabel* Label3;
    QComboBox* ComboBox30;
    QLabel* Label49;
    QComboBox* ComboBox42;

    QGroupBox* GroupBox8;
    QLabel* Label46;
    QLineEdit* Edit28;
    QLabel* Label45;
    QLineEdit* Edit29;
    QLabel* Label47;
    QLineEdit* Edit31;
    QLabel* Label44;
    QLineEdit* Edit32;
    QPushButton* Button7;

    QGroupBox* GroupBox10;
    QLabel* Label43;
    QLineEdit* Edit25;
    QLabel* Label50;
    QComboBox* ComboBox3;
    QLabel* Label42;
    QLineEdit* Edit26;
    QLabel* Label79;
    QComboBox* ComboBox31;
    QLabel* Label78;
    QLineEdit* Edit27;
    QLabel* Label80;
    QComboBox* ComboBox32;
    QLabel* Label55;
    QLineEdit* Edit30;
    QLabel* Label57;
    QComboBox* ComboBox33;
    QPushButton* Button16;

    QGroupBox* GroupBox6;
    QLabel* Label7;
    QComboBox* ComboBox27;
    QPushButton* Button14;

    QGroupBox* GroupBox20;
    QLabel* Label61;
    QLineEdit* Edit10;
    QLabel* Label13;
    QLabel* Label62;
    QPushButton* Button20;

    // ---- "MODBUS Parameter Configuration" ----------------------------------
    QGroupBox* GroupBox3;
    QLabel* Label38;
    QComboBox* ComboBox41;
    QLabel* Label15;
    QComboBox* ComboBox6;
    QLabel* Label63;
    QComboBox* ComboBox16;
    QLabel* Label64;
    QComboBox* ComboBox17;
    QLabel* Label48;
    QComboBox* ComboBox34;
    QLabel* Label58;
    QLineEdit* Edit1;
    QLabel* Label59;
    QPushButton* Button10;
    QLabel* Label68;
    QLabel* Label19;
    QLabel* Label69;
    QLabel* Label24;
    QLabel* Label70;
    QLabel* Label27;
    QLabel* Label71;
    QLabel* Label28;
    QLabel* Label72;
    QLabel* Label29;
    QComboBox* FAMOUT1;
    QComboBox* FAMOUT3;
    QComboBox* FAMOUT5;
    QComboBox* FAMOUT7;
    QComboBox* FAMOUT9;
    QPushButton* Button21;
    QLabel* HLabel1;
    QLabel* HLabel2;
    QLabel* HLabel3;
    QLabel* HLabel4;
    QLabel* HLabel5;

    QGroupBox* GroupBox13;
    QLabel* Label9;
    QComboBox* ComboBox28;
    QLineEdit* Edit4;
    QPushButton* Button17;
    QLabel* Label10;
    QComboBox* ComboBox29;
    QLineEdit* Edit5;
    QPushButton* Button18;
    QGroupBox* GroupBox16;
    QLabel* Label23;
    QLabel* Label20;
    QLabel* Label21;
    QLabel* Label85;
    QComboBox* RADCOM1;
    QLineEdit* READADR1;
    QComboBox* READLG1;
    QLabel* Label84;
    QComboBox* RADCOM3;
    QLineEdit* READADR3;
    QComboBox* READLG3;
    QLabel* Label53;
    QComboBox* RADCOM5;
    QLineEdit* READADR5;
    QComboBox* READLG5;
    QLabel* Label22;
    QComboBox* RADCOM7;
    QLineEdit* READADR7;
    QComboBox* READLG7;
    QLabel* Label33;
    QComboBox* ComboBox15;
    QPushButton* Button12;

    QGroupBox* GroupBox19;
    QLabel* Label65;
    QLineEdit* Edit18;
    QLabel* Label66;
    QLineEdit* Edit19;
    QLabel* Label67;
    QLineEdit* Edit20;
    QPushButton* Button4;

    QGroupBox* GroupBox11;
    QComboBox* ComboBox14;
    QPushButton* Button22;

    QGroupBox* GroupBox12;
    QLabel* Label30;
    QLineEdit* Edit7;
    QPushButton* Button13;
    QLabel* Label31;
    QLineEdit* Edit22;

    QGroupBox* GroupBox17;
    QComboBox* ComboBox18;
    QLabel* Label6;
    QLineEdit* Beilv;
    QPushButton* Button2;

    QGroupBox* GroupBox23;
    QLabel* Label5;
    QLineEdit* xishu2;
    QLabel* Label34;
    QLineEdit* xishu3;
    QLabel* Label35;
    QLineEdit* xishu4;
    QPushButton* Button19;

    QPushButton* Button31;

    // ---- "Monitoring Command" ----------------------------------------------
    QGroupBox* GroupBox9;
    QCheckBox* ONECHECK01;
    QLineEdit* ONECMAD01;
    QPushButton* Button3;
    QPushButton* Button8;
    QCheckBox* ONECHECK02;
    QLineEdit* ONECMAD02;
    QPushButton* Button25;
    QPushButton* Button11;
    QCheckBox* ONECHECK03;  // slots 3 to 6 are created hidden and never shown
    QLineEdit* ONECMAD03;
    QPushButton* Button35;
    QPushButton* Button41;
    QCheckBox* ONECHECK04;
    QLineEdit* ONECMAD04;
    QPushButton* Button42;
    QPushButton* Button43;

    QGroupBox* GroupBox22;
    QCheckBox* RUNCHEAK1;
    QLineEdit* RUNCAMD1;
    QPushButton* Button68;
    QPushButton* Button69;
    QCheckBox* RUNCHEAK2;
    QLineEdit* RUNCAMD2;
    QPushButton* Button72;
    QPushButton* Button73;

    // ---- "2-Wire Instruments" / "4-Wire Instruments" ------------------------
    QLabel* Image2;
    QLabel* Image3;

    // ---- Handlers ----------------------------------------------------------
    // Window and bottom strip.
    void FormCreate();
    void Button26Click();

    // Link control and the exchange engine (form_link.cpp).
    void Button1Click();
    void Button6Click();
    void Button23Click();
    void Edit14Change();
    void Comm1ReceiveData(TObject* Sender, const void* Buffer, uint16_t BufferLength);
    // The line went away while open (adapter pulled, other side gone).
    void Comm1RequestHangup(TObject* Sender);
    // "COM1" to "COM12", then the devices present; keeps what the operator
    // typed or chose.
    void RefreshPortList();
    // The line of the last successful opening, put back at start (the
    // window's defaults stand when nothing is remembered). Nothing is opened.
    void RestoreRememberedLine();
    // A lost port is there again: offered for opening (without taking the
    // focus), or opened at once when the operator chose that before.
    void PortBack(const QString& path);
    void Timer2Timer();
    void Timer3Timer();
    void Timer4Timer();

    // System parameter set commands (form_system.cpp).
    void Button5Click();
    void Button9Click();
    void Button29Click();
    void Button24Click();
    void Button22Click();
    void Button15Click();
    void Button33Click();
    void Button27Click();
    void Button28Click();
    void Button32Click();
    void Button30Click();
    void Label8DblClick();
    void Label51DblClick();
    void Button60Click();

    // HART transparent mode (form_hart.cpp).
    void Button14Click();
    void Button20Click();
    void ComboBox30Change();
    void Button7Click();
    void Button16Click();

    // MODBUS conversion configuration and diagnostic tools (form_modbus.cpp).
    void ComboBox41Change();
    void Button31Click();
    void Button10Click();
    void Button21Click();
    void Button2Click();
    void Button19Click();
    void ComboBox17Change();
    void Button17Click();
    void Button18Click();
    void Button12Click();
    void Button4Click();
    void Button13Click();

    // Monitoring command slots (form_monitoring.cpp).
    void Button3Click();
    void Button25Click();
    void Button35Click();
    void Button42Click();
    void Button68Click();
    void Button72Click();
    void Button8Click();
    void Button11Click();
    void Button41Click();
    void Button43Click();
    void Button69Click();
    void Button73Click();

    // Menu bar (form_profile.cpp).
    void SaveModuleConfiguration();
    void RestoreModuleConfiguration();
    void CompareModuleWithFile();
    void Quit();
    void ShowLiveValues();
    void ShowAbout();
    void ShowCliHelp();

    // ---- The send sequence (form_link.cpp) ---------------------------------
    // Step 1: empty the Send Buffer and the Receive Buffer.
    void ClearBuffers();
    // The rest: the frame into TxFrame, its echo, SendData, PendingCode and
    // TimeoutKind, the reply timeout and, for "BA1"/"BA2", the delayed close.
    void SendCommand(const ortiva::Command& command);
    // The system's decimal separator, for float texts.
    static std::string DecimalSeparator();

private:
    void CreateComm();
    void CreateTimers();
    QLayout* BuildHeader();
    QLayout* BuildBottomStrip();
    void BuildSystemPage();
    void BuildTransparentPage();
    void BuildModbusPage();
    void BuildMonitoringPage();
    void BuildWiringPages();
    void ConnectHandlers();
    void ApplyLook();
    // The design size where the screen has room for it, else the room there
    // is; centred in the screen's available area.
    void FitToScreen();
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void DismissReconnectOffer();
    // The File menu's parts (form_profile.cpp).
    void BuildMenuBar();
    bool ReadyForPlan();
    void RunPlan(const QString& title, std::vector<ortiva::PlanRunner::Step> steps,
                 std::function<void(const ortiva::PlanRunner::Outcome&)> finished);
    void ReadModuleThen(const QString& title, const ortiva::profile::ReadSet& set,
                        std::function<void(const ortiva::profile::Profile& module)> next);
    std::optional<ortiva::profile::Profile> LoadProfileFile(const QString& path);
    bool SaveProfileFile(const QString& path, ortiva::profile::Profile profile);
    void ShowDifferences(const QString& path, const std::vector<std::string>& keys,
                         const ortiva::profile::Values& module, const ortiva::profile::Values& file);
    void WriteProfile(const ortiva::profile::Profile& file, const std::vector<ortiva::profile::Step>& writes,
                      char pcSide);
    void ReopenLineAt(uint32_t baud, int parityIndex);
    bool placed_ = false;
    bool placedInFrame_ = false;
    // The /dev/serial/by-id name of the port as it was opened ("" for none).
    QString openedById_;
};
