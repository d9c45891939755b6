// The controls of the main window, their layout and their signals.
#include "ui/idle_picture.h"
#include "ui/list_box_terminal.h"
#include "ui/main_window.h"
#include "ui/setup_page_view.h"
#include "ui/show_terminal.h"
#include "ui/toolbox_wait.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <array>
#include <initializer_list>

namespace kestrix {
namespace {

// The sort buttons from left to right.
constexpr std::array<SortOrder, 5> kSortOrders = {SortOrder::Product, SortOrder::SerialNumber,
                                                  SortOrder::IPAddress, SortOrder::DNSName,
                                                  SortOrder::Firmware};

// The left column holds the list; its entries need the icon and the three
// columns of line one.
constexpr int kLeftColumnWidth = 620;

QPushButton* button(QWidget* parent, const char* name) {
    auto* pushButton = new QPushButton(parent);
    pushButton->setObjectName(QString::fromLatin1(name));
    return pushButton;
}

} // namespace

void MainWindow::buildControls() {
    selector_ = new QComboBox(this);
    selector_->setObjectName(QStringLiteral("selector"));
    selector_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    search_ = button(this, "search");

    sortButtons_ = new QButtonGroup(this);
    for (SortOrder order : kSortOrders) {
        auto* radio = new QRadioButton(this);
        radio->setObjectName(QStringLiteral("sort%1").arg(static_cast<int>(order)));
        sortButtons_->addButton(radio, static_cast<int>(order));
    }
    groupFilter_ = new QCheckBox(this);
    groupFilter_->setObjectName(QStringLiteral("groupFilter"));
    showIPv6_ = new QCheckBox(this);
    showIPv6_->setObjectName(QStringLiteral("showIPv6"));

    list_ = new CListBoxTerminal(icons_, this);
    list_->setObjectName(QStringLiteral("terminalList"));
    clear_ = button(this, "clear");
    remove_ = button(this, "remove");
    export_ = button(this, "export");
    nameField_ = new QLineEdit(this);
    nameField_->setObjectName(QStringLiteral("nameField"));
    nameField_->setMaxLength(kNameFieldLength);
    add_ = button(this, "add");
    add_->setDefault(true);

    status_ = button(this, "status");
    help_ = button(this, "help");
    information_ = button(this, "information");
    maintenanceGroup_ = button(this, "maintenanceGroup");
    reset_ = button(this, "reset");
    setup_ = button(this, "setup");
    tcl_ = button(this, "tcl");
    lbus_ = button(this, "lbus");
    setipa_ = button(this, "setipa");
    firmware_ = button(this, "firmware");
    keyboard_ = button(this, "keyboard");
    // The setup editor is offered once every page it can show has its view.
    setup_->setVisible(setupTabsWithoutView().empty());

    auto* pane = new QFrame(this);
    pane->setObjectName(QStringLiteral("detailPane"));
    pane->setFrameShape(QFrame::StyledPanel);
    pane->setFrameShadow(QFrame::Sunken);
    detailPane_ = pane;
    detailStack_ = new QStackedWidget(pane);
    idlePicture_ = new CIdlePicture(detailStack_);
    idlePicture_->setObjectName(QStringLiteral("idlePicture"));
    showTerminal_ = new CShowTerminal(icons_, detailStack_);
    showTerminal_->setObjectName(QStringLiteral("showTerminal"));
    waitWindow_ = new CToolBoxWait(detailStack_);
    waitWindow_->setObjectName(QStringLiteral("waitWindow"));
    page_ = new QTextBrowser(detailStack_);
    page_->setObjectName(QStringLiteral("page"));
    page_->setOpenExternalLinks(true);
    for (QWidget* page : {static_cast<QWidget*>(idlePicture_), static_cast<QWidget*>(showTerminal_),
                          static_cast<QWidget*>(waitWindow_), static_cast<QWidget*>(page_)})
        detailStack_->addWidget(page);
    detailStack_->setCurrentWidget(idlePicture_);
}

void MainWindow::buildLayout() {
    auto* selectorRow = new QHBoxLayout;
    selectorRow->addWidget(selector_, 1);
    selectorRow->addWidget(search_);

    auto* sortFrame = new QFrame(this);
    sortFrame->setFrameShape(QFrame::StyledPanel);
    auto* sortRow = new QHBoxLayout(sortFrame);
    sortRow->setContentsMargins(8, 4, 8, 4);
    for (QAbstractButton* radio : sortButtons_->buttons())
        sortRow->addWidget(radio);
    sortRow->addStretch(1);

    auto* checkRow = new QHBoxLayout;
    checkRow->addWidget(groupFilter_);
    checkRow->addSpacing(24);
    checkRow->addWidget(showIPv6_);
    checkRow->addStretch(1);
    checkRow->addWidget(maintenanceGroup_);

    auto* listButtonRow = new QHBoxLayout;
    listButtonRow->addWidget(clear_);
    listButtonRow->addWidget(remove_);
    listButtonRow->addWidget(export_);
    listButtonRow->addStretch(1);

    auto* addRow = new QHBoxLayout;
    addRow->addWidget(nameField_, 1);
    addRow->addWidget(add_);

    auto* left = new QVBoxLayout;
    left->addLayout(selectorRow);
    left->addWidget(sortFrame);
    left->addLayout(checkRow);
    left->addWidget(list_, 1);
    left->addLayout(listButtonRow);
    left->addLayout(addRow);
    auto* leftColumn = new QWidget(this);
    leftColumn->setLayout(left);
    left->setContentsMargins(0, 0, 0, 0);
    leftColumn->setFixedWidth(kLeftColumnWidth);

    // The buttons stand in three rows above the pane: the terminal actions
    // with their dialogs in the first two, the information buttons in the
    // third; two rows of them are wider than the pane beside the list.
    const auto buttonRow = [](std::initializer_list<QPushButton*> buttons) {
        auto* row = new QHBoxLayout;
        for (QPushButton* button : buttons)
            row->addWidget(button);
        row->addStretch(1);
        return row;
    };
    QHBoxLayout* actionRow = buttonRow({reset_, setup_, tcl_, setipa_});
    QHBoxLayout* secondActionRow = buttonRow({lbus_, firmware_, keyboard_});
    QHBoxLayout* informationRow = buttonRow({status_, help_, information_});

    auto* paneLayout = new QVBoxLayout(detailPane_);
    paneLayout->setContentsMargins(1, 1, 1, 1);
    paneLayout->addWidget(detailStack_);

    auto* right = new QVBoxLayout;
    right->addLayout(actionRow);
    right->addLayout(secondActionRow);
    right->addLayout(informationRow);
    right->addWidget(detailPane_, 1);

    auto* window = new QHBoxLayout(this);
    window->setContentsMargins(10, 10, 10, 10);
    window->setSpacing(12);
    window->addWidget(leftColumn);
    window->addLayout(right, 1);
}

void MainWindow::connectControls() {
    connect(search_, &QPushButton::clicked, this, &MainWindow::searchClicked);
    connect(clear_, &QPushButton::clicked, this, &MainWindow::clearClicked);
    connect(remove_, &QPushButton::clicked, this, &MainWindow::removeClicked);
    connect(export_, &QPushButton::clicked, this, &MainWindow::exportClicked);
    connect(add_, &QPushButton::clicked, this, [this] { emit addClicked(nameField_->text().toStdString()); });
    connect(status_, &QPushButton::clicked, this, &MainWindow::statusClicked);
    connect(help_, &QPushButton::clicked, this, &MainWindow::helpClicked);
    connect(information_, &QPushButton::clicked, this, &MainWindow::informationClicked);
    connect(maintenanceGroup_, &QPushButton::clicked, this, &MainWindow::maintenanceGroupClicked);
    connect(reset_, &QPushButton::clicked, this, &MainWindow::resetClicked);
    connect(keyboard_, &QPushButton::clicked, this, &MainWindow::keyboardClicked);
    connect(setipa_, &QPushButton::clicked, this, &MainWindow::setipaClicked);
    connect(tcl_, &QPushButton::clicked, this, &MainWindow::tclClicked);
    connect(setup_, &QPushButton::clicked, this, &MainWindow::setupClicked);
    connect(firmware_, &QPushButton::clicked, this, &MainWindow::firmwareClicked);
    connect(lbus_, &QPushButton::clicked, this, &MainWindow::lbusClicked);
    connect(list_, &CListBoxTerminal::userSelectionChanged, this, &MainWindow::selectionChanged);
    connect(selector_, &QComboBox::currentIndexChanged, this, &MainWindow::selectorChanged);
    connect(sortButtons_, &QButtonGroup::idClicked, this,
            [this](int id) { emit sortOrderChosen(static_cast<SortOrder>(id)); });
    connect(groupFilter_, &QCheckBox::toggled, this, [this](bool checked) {
        emit groupFilterChosen(checked ? GroupFilter::CurrentGroupOnly : GroupFilter::AllGroups);
    });
    connect(showIPv6_, &QCheckBox::toggled, this, &MainWindow::ipv6Shown);
}

} // namespace kestrix
