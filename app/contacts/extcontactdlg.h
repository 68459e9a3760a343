#pragma once
// The contact destination page of the navigation and tour modes: it lists every postal address
// of every device contact and, when one is chosen, resolves it against the map data (the city,
// matched against the postal code, then the street in it, asking the user when several remain)
// and writes country, city, street and house number into the mode's destination before
// returning to the mode's main page. User-interface thread only.

#include "app/contacts/contactsession.h"
#include "app/modeinterface/destinationtypes.h"
#include "onboard/onboardserver.h"
#include "ui/pagebase.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CustomListBox;
class StatusTmcInfo;

// One listed address of one contact.
struct ContactAddress {
    std::u16string city;        // line breaks replaced by blanks
    std::u16string street;      // without its trailing house-number word
    std::u16string postalCode;  // empty when the contact has none
    std::u16string houseNumber; // the street's trailing house-number word; empty without one
};

// The texts of the language library the list lines are made of.
struct ContactLineTexts {
    std::u16string namePrefix;   // 1134, the prefix of every line
    std::u16string streetPrefix; // 1135
    std::u16string cityPrefix;   // 1136
    std::u16string firstLabel;   // 1133
    std::u16string secondLabel;  // 1132
    std::u16string thirdLabel;   // 1177
};

// Appends a list line and an address entry for each address with a city (white space only is
// no city) of each record, the first, second and third address in turn.
void BuildContactLines(const std::vector<ContactRecord>& records, const ContactLineTexts& texts,
                       std::vector<std::u16string>& lines, std::vector<ContactAddress>& entries);

// The line the letter jump selects: the first line from 0 (or from the line after selected
// when both it and selected match) whose character after the prefix equals key exactly; -1
// when none matches.
[[nodiscard]] int FindLetterLine(const std::vector<std::u16string>& lines, std::size_t prefixLength,
                                 int selected, char16_t key);

// What the page needs of its mode: returning to the main page (command 13 with the page's
// window) and refreshing the main page's destination display.
class ContactPageOwner {
public:
    virtual void OnPageCommand(int command, HWND page) = 0;
    virtual void RefreshMainPage() = 0;

protected:
    ~ContactPageOwner() = default;
};

class ExtContactDlg : public PageBase {
public:
    static constexpr UINT kListId = 210;
    static constexpr UINT kOkId = 1047;
    static constexpr UINT kOtherOkId = 360;
    static constexpr UINT kCancelId = 320;
    static constexpr UINT kTitleLabelId = 1110;
    static constexpr int kMainPageCommand = 13;
    static constexpr UINT kCityPromptId = 1128;
    static constexpr UINT kStreetPromptId = 1129;
    static constexpr UINT kNoCityMessageId = 1137;
    // Shown instead of the list when the contacts could not be read whole.
    static constexpr UINT kContactsUnreadableMessageId = 1139;
    static constexpr COLORREF kListColour = 0x78571E;

    // Asks the user to choose one of lines (the prompt above them, the page's title id): the
    // chosen index or -1. The default runs the list dialog ("ListDlg").
    using ListChooser = std::function<int(const std::vector<std::u16string>& lines,
                                          const std::u16string& prompt, UINT titleId)>;
    // Shows a message by its text id; the default runs MsgBox over the page.
    using MessageShower = std::function<void(UINT textId)>;

    // destination: the mode's destination fields this page writes (kept by reference).
    ExtContactDlg(Onboard::OnboardServerPtr server, ContactPageOwner& mode,
                  DestinationDescription& destination, UINT titleId);
    ~ExtContactDlg() override;

    [[nodiscard]] UINT GetTitleId() override { return m_titleId; }

    // Fills the list from the contacts (the first activation does it once); when they cannot be
    // read whole, shows message 1139 and leaves the list as it is.
    void FillList();
    // Resolves the selected entry and, on success, writes the destination and returns to the
    // main page.
    void ChooseAddress();
    void Cancel();

    // Result of ResolveAddress: the user cancelled a choice, no city, a city, a city and street.
    enum Resolution { kCancelled = -1, kNoCity = 0, kCity = 1, kStreet = 2 };
    struct ResolvedAddress {
        AddressResultPtr city;
        GeoMoleculePtr street;
        std::u16string houseNumber;
    };
    // Resolves an address into city, street and house number; writes nothing of the mode's.
    [[nodiscard]] Resolution ResolveAddress(const ContactAddress& entry, ResolvedAddress& result);

    void SetListChooser(ListChooser chooser) { m_chooser = std::move(chooser); }
    void SetMessageShower(MessageShower shower) { m_shower = std::move(shower); }

    // The selected line (kept by the page until its window exists).
    [[nodiscard]] int GetCurSel() const;
    void SetCurSel(int index);

    [[nodiscard]] const std::vector<ContactAddress>& GetEntries() const { return m_entries; }
    [[nodiscard]] const std::vector<std::u16string>& GetLines() const { return m_lines; }
    [[nodiscard]] CustomListBox* GetListBox() const { return m_listBox.get(); }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSize(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnActivate(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    void ShowMessage(UINT textId);
    int RunListDialog(const std::vector<std::u16string>& lines, const std::u16string& prompt);

    // The steps of ResolveAddress.
    std::vector<AddressResultPtr> FindCityCandidates(const RetrievalEngine::RetrievalEnginePtr&,
                                                     const ContactAddress& entry,
                                                     const GeoRect* postalRect);
    std::vector<GeoMoleculePtr> FindStreets(const RetrievalEngine::RetrievalEnginePtr&,
                                            const AddressResultPtr& city,
                                            const ContactAddress& entry);
    Resolution ChooseCity(const RetrievalEngine::RetrievalEnginePtr&,
                          const std::vector<AddressResultPtr>& cities, const ContactAddress& entry,
                          AddressResultPtr& chosen);
    Resolution ChooseStreet(const RetrievalEngine::RetrievalEnginePtr&,
                            const std::vector<GeoMoleculePtr>& streets, const ContactAddress& entry,
                            GeoMoleculePtr& chosen);
    // The first candidate with the entry's street (the user choosing among several streets);
    // kNoCity when no candidate has it.
    Resolution ResolveByStreet(const RetrievalEngine::RetrievalEnginePtr&,
                               const std::vector<AddressResultPtr>& candidates,
                               const ContactAddress& entry, ResolvedAddress& result);
    Resolution ResolveStreetIn(const RetrievalEngine::RetrievalEnginePtr&,
                               const AddressResultPtr& city, const ContactAddress& entry,
                               ResolvedAddress& result);

    OwnerHandlerList m_handlers;
    std::unique_ptr<CustomListBox> m_listBox;
    ContactPageOwner& m_mode;
    Onboard::OnboardServerPtr m_server;
    DestinationDescription& m_destination;
    UINT m_titleId;
    bool m_needsFilling = true;
    int m_selection = 0;
    std::vector<ContactAddress> m_entries;
    std::vector<std::u16string> m_lines;
    StatusTmcInfo* m_runningList = nullptr;
    HCURSOR m_savedCursor = nullptr;
    HFONT m_listFont = nullptr;
    HWND m_tmcIndicator = nullptr;
    HWND m_gpsIndicator = nullptr;
    ListChooser m_chooser;
    MessageShower m_shower;
};

// The seam of the navigation and tour modes: their contact page with their title id (420, 431).
[[nodiscard]] std::unique_ptr<ExtContactDlg> CreateContactPage(Onboard::OnboardServerPtr server,
                                                               ContactPageOwner& mode,
                                                               DestinationDescription& destination,
                                                               UINT titleId);
