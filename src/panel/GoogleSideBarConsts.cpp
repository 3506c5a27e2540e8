// The panel's texts. Italian replaces entries 0-30 and French entries 0-34; the rest stay English.
#include "panel/GoogleSideBarConsts.h"

#include <array>

#ifdef _WIN32
#include <windows.h>
#endif

namespace mellodeck {
namespace {

const wchar_t* const kEnglish[50] = {
    /* SSeekHint */ L"Seek",
    /* SStartCaption */ L"Start",
    /* SInstallCaption */ L"Install",
    /* SPlayHint */ L"Play",
    /* SPauseHint */ L"Pause",
    /* SStopHint */ L"Stop",
    /* SPreviousHint */ L"Previous",
    /* SNextHint */ L"Next",
    /* SShowPlayerHint */ L"Show WinAmp",
    /* SHidePlayerHint */ L"Hide WinAmp",
    /* SEditTagsHint */ L"Edit Tags",
    /* SShuffleOnHint */ L"Turn shuffle on",
    /* SRepeatOnHint */ L"Turn repeat on",
    /* SBothOnHint */ L"Turn on shuffle and repeat",
    /* SBothOffHint */ L"Turn off shuffle and repeat",
    /* SClickToStart */ L"Click here to start %s",
    /* SClickToInstall */ L"Click here to install %s",
    /* SPlayerInstallCaption */ L"WinAmp Installation",
    /* SPlayerInstallText */ L"The WinAmp player is available in two editions.\r\n\r\nThis dialog will point you to the WinAmp web site, please\r\nchoose the WinAmp edition that fits your needs and install it.\r\n\r\nDo you want to visit the WinAmp web site now?",
    /* SBrowserError */ L"Error #: %d\r\n%s\r\n\r\nCould not run default browser.",
    /* SNoTagsFound */ L"No tags found, click the E button to fill the tags",
    /* SUnknownAlbum */ L"Unknown album",
    /* SUnknownArtist */ L"Unknown artist",
    /* SUnknownSong */ L"Unknown song",
    /* SArtistLabel */ L"Artist",
    /* SAlbumLabel */ L"Album",
    /* SSongLabel */ L"Song",
    /* SEditorOldCaption */ L"Marquill Installation",
    /* SEditorOldText */ L"The installed version of Marquill is too old.\r\n\r\nInstalled: %d.%d.%d.%d,  Required: %s\r\n\r\nDo you want to visit the Marquill web site now to update your copy?",
    /* SEditorMissingCaption */ L"Marquill Installation",
    /* SEditorMissingText */ L"Marquill is not installed on your computer.\r\n\r\nTo be able to add or edit tags, search the album information through   \r\nthe Internet along with cover artworks you need to download and\r\ninstall Marquill.\r\n\r\nDo you want to install Marquill now?",
    /* SPlaylistEmpty */ L"The playlist is empty",
    /* SDropFilesHint */ L"Drag-and-drop files to play them",
    /* SSongHasNoTags */ L"This song has no tags",
    /* SFillTagsHint */ L"click the E button to fill the tags",
    /* SCancel */ L"Cancel",
    /* SClose */ L"Close",
    /* SNo */ L"No",
    /* SDownloadingEditor */ L"Downloading Marquill...",
    /* SConnecting */ L"Connecting to the remote server...",
    /* SConnectFailed */ L"Could not connect to remote server. Make sure your Internet connection is active.",
    /* SDownloadingPackage */ L"Downloading installation package...",
    /* SDownloadFailed */ L"Could not download the installation package. Code: %d \"%s\".",
    /* SCompleted */ L"Completed %s of %s",
    /* STempCreateFailed */ L"Could not create the temporary file.",
    /* STempWriteFailed */ L"Could not write to the temporary file.",
    /* SDownloadManuallyText */ L"You can download %s from the web site and install it manually.",
    /* SDownloadManually */ L"Download Manually",
    /* SLaunching */ L"Launching...",
    /* SSetupFailed */ L"Mellodeck failed to perform Marquill Setup.",
};

const wchar_t* const kItalian[31] = {
    /* SSeekHint */ L"Cerca",
    /* SStartCaption */ L"Start",
    /* SInstallCaption */ L"Installa",
    /* SPlayHint */ L"Play",
    /* SPauseHint */ L"Pausa",
    /* SStopHint */ L"Stop",
    /* SPreviousHint */ L"Precedente",
    /* SNextHint */ L"Successivo",
    /* SShowPlayerHint */ L"Mostra WinAmp",
    /* SHidePlayerHint */ L"Nascondi WinAmp",
    /* SEditTagsHint */ L"Edita i Tag",
    /* SShuffleOnHint */ L"Attiva riproduzione casuale",
    /* SRepeatOnHint */ L"Attiva ripetizione",
    /* SBothOnHint */ L"Attiva ripetizione casuale e ripetizione",
    /* SBothOffHint */ L"Chiudi ripetizione casuale e ripetizione",
    /* SClickToStart */ L"Clicca qui per iniziare %s",
    /* SClickToInstall */ L"Clicca qui per installare %s",
    /* SPlayerInstallCaption */ L"Installazione di WinAmp",
    /* SPlayerInstallText */ L"Il player di WinAmp è disponibile in due versioni.\r\n\r\nIn questa finestra di dialogo è presente il collegamento al sito web di WinAmp.\r\nScegli la versione che risponde alle tue esigenze e installala.\r\n\r\nVuoi visitare adesso il sito web di WinAmp?",
    /* SBrowserError */ L"Errore #: %d\r\n%s\r\n\r\nNon è possibile attivare il browser web di default.",
    /* SNoTagsFound */ L"Nessun tag individuato, clicca il pulsante E per compilare i tag.",
    /* SUnknownAlbum */ L"Album sconosciuto",
    /* SUnknownArtist */ L"Artista sconosciuto",
    /* SUnknownSong */ L"Canzone sconosciuta",
    /* SArtistLabel */ L"Artista",
    /* SAlbumLabel */ L"Album",
    /* SSongLabel */ L"Canzone",
    /* SEditorOldCaption */ L"Installazione di Marquill",
    /* SEditorOldText */ L"La versione di Marquill installata su questo PC è troppo vecchia.\r\n\r\nInstallata: %d.%d.%d.%d,  Richiesta: %s\r\n\r\nVuoi visitare il sito web di Marquill per scaricare la versione aggiornata?",
    /* SEditorMissingCaption */ L"Installazione di Marquill",
    /* SEditorMissingText */ L"Marquill non risulta installato sul tuo computer.\r\n\r\nPer aggiungere o editare tag, cerca su Internet le informazioni\r\nrelative all'album e alla sua copertina originale che desideri scaricare\r\ne installa Marquill.\r\n\r\nVuoi visitare ora il sito web di Marquill?",
};

const wchar_t* const kFrench[35] = {
    /* SSeekHint */ L"Chercher",
    /* SStartCaption */ L"Démarrer",
    /* SInstallCaption */ L"Installer",
    /* SPlayHint */ L"Jouer",
    /* SPauseHint */ L"Pause",
    /* SStopHint */ L"Arrêter",
    /* SPreviousHint */ L"Précédent",
    /* SNextHint */ L"Suivant",
    /* SShowPlayerHint */ L"Afficher WinAmp",
    /* SHidePlayerHint */ L"Cacher WinAmp",
    /* SEditTagsHint */ L"Editer les tags",
    /* SShuffleOnHint */ L"Activer le shuffle",
    /* SRepeatOnHint */ L"Activer la répétition",
    /* SBothOnHint */ L"Activer le shuffle et la répétition",
    /* SBothOffHint */ L"Désactiver le shuffle et la répétition",
    /* SClickToStart */ L"Cliquez ici pour démarrer %s",
    /* SClickToInstall */ L"Cliquez ici pour installer %s",
    /* SPlayerInstallCaption */ L"Installation de WinAmp",
    /* SPlayerInstallText */ L"Le lecteur WinAmp est disponible en deux éditions.\r\n\r\nCette boîte de dialogue vous emmènera sur le site web de WinAmp, veuillez\r\nchoisir l'édition de WinAmp qui convient à vos besoins et installez-la.\r\n\r\nVoulez-vous visiter le site web de WinAmp maintenant?",
    /* SBrowserError */ L"Erreur #: %d\r\n%s\r\n\r\nImpossible de trouver le navigateur par défaut.",
    /* SNoTagsFound */ L"Aucun tag trouvé, cliquez sur la touche E pour remplir les tags",
    /* SUnknownAlbum */ L"Album inconnu",
    /* SUnknownArtist */ L"Artiste inconnu",
    /* SUnknownSong */ L"Chanson inconnue",
    /* SArtistLabel */ L"Artiste",
    /* SAlbumLabel */ L"Album",
    /* SSongLabel */ L"Chanson",
    /* SEditorOldCaption */ L"Installation de Marquill",
    /* SEditorOldText */ L"La version de Marquill installée sur cet ordinateur est trop ancienne.\r\n\r\nInstallée: %d.%d.%d.%d,  Requise: %s\r\n\r\nVoulez-vous visiter le site web de Marquill pour mettre à jour maintenant votre copie?",
    /* SEditorMissingCaption */ L"Installation de Marquill",
    /* SEditorMissingText */ L"Marquill n'est pas installé sur votre ordinateur.\r\n\r\nPour pouvoir ajouter ou éditer les tags, chercher les informations de l'album via\r\nInternet avec les pochettes que vous avez besoin de télécharger et\r\ninstaller Marquill.\r\n\r\nVoulez-vous visiter le site web de Marquill maintenant?",
    /* SPlaylistEmpty */ L"La liste est vide",
    /* SDropFilesHint */ L"Déplacez-glissez les fichiers pour les lire",
    /* SSongHasNoTags */ L"Cette chanson n’a pas de tag",
    /* SFillTagsHint */ L"cliquez sur le bouton E pour remplir les tags",
};

std::array<std::wstring, kSideBarStringCount> gStrings;
bool gFilled = false;
uint16_t gLanguageOverride = 0;

} // namespace

bool IsItalianLanguage(uint16_t langId) { return langId == 1040 || langId == 2064; }

bool IsFrenchLanguage(uint16_t langId) {
    switch (langId) {
    case 1036: case 2060: case 3084: case 4108: case 5132: case 6156:
        return true;
    default:
        return false;
    }
}

uint16_t SystemDefaultLanguage() {
    if (gLanguageOverride != 0)
        return gLanguageOverride;
#ifdef _WIN32
    return ::GetSystemDefaultLangID();
#else
    return 1033;
#endif
}

void SetSystemLanguageOverride(uint16_t langId) { gLanguageOverride = langId; }

void FillSideBarStrings(uint16_t langId) {
    for (int i = 0; i < kSideBarStringCount; ++i)
        gStrings[i] = kEnglish[i];
    if (IsItalianLanguage(langId)) {
        for (int i = 0; i < 31; ++i)
            gStrings[i] = kItalian[i];
    } else if (IsFrenchLanguage(langId)) {
        for (int i = 0; i < 35; ++i)
            gStrings[i] = kFrench[i];
    }
    gFilled = true;
}

void FillSideBarStrings() { FillSideBarStrings(SystemDefaultLanguage()); }

void ClearSideBarStrings() {
    for (auto& s : gStrings)
        std::wstring().swap(s);
    gFilled = false;
}

const std::wstring& SideBarString(TSideBarString id) {
    if (!gFilled)
        FillSideBarStrings();
    static const std::wstring kNone;
    if (id < 0 || id >= kSideBarStringCount)
        return kNone;
    return gStrings[id];
}

std::wstring FormatText(const std::wstring& format, std::initializer_list<TFormatArg> args) {
    std::wstring out;
    out.reserve(format.size() + 32);
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        const wchar_t c = format[i];
        if (c != L'%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        const wchar_t kind = format[i + 1];
        if (kind == L'%') {
            out += L'%';
            ++i;
        } else if (kind == L's' || kind == L'd') {
            ++i;
            if (next == args.end())
                continue;
            const TFormatArg& a = *next++;
            if (a.IsText)
                out += a.Text;
            else
                out += std::to_wstring(a.Number);
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace mellodeck
