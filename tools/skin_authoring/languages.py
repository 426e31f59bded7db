# Writes the language files of resources/Languages (English, Deutsch, Francais): python3 languages.py OUTDIR.
import sys
out = sys.argv[1]
# key -> (English, Deutsch, Français)
S = {
 "MainWnd": [
  ("LblProductName", "Dunmere Free Edition", "Dunmere Free Edition", "Dunmere Free Edition"),
  ("BtnAssist", "Menu", "Menü", "Menu"),
  ("OptStep1", "1  Select a backup", "1  Sicherung wählen", "1  Choisir une sauvegarde"),
  ("OptStep2", "2  Select file types", "2  Dateitypen wählen", "2  Choisir les types"),
  ("OptStep3", "3  Scan and recover", "3  Durchsuchen und retten", "3  Analyser et récupérer"),
 ],
 "PageItunesBackup": [
  ("BackupListHeader1", "Name", "Name", "Nom"),
  ("BackupListHeader2", "Latest Backup Date", "Letzte Sicherung", "Dernière sauvegarde"),
  ("BackupListHeader3", "Serial Number", "Seriennummer", "Numéro de série"),
  ("BtnSelDir", "Select folder...", "Ordner wählen...", "Choisir un dossier..."),
  ("BtnNext1", "Next", "Weiter", "Suivant"),
 ],
 "PageSpecifyFile": [
  ("LblSelectTypes", "Select the file types to recover", "Wählen Sie die Dateitypen zum Retten", "Choisissez les types de fichiers à récupérer"),
  ("ChkSelAll", "Select All", "Alle wählen", "Tout sélectionner"),
  ("OptCameraRoll", "Camera Roll", "Aufnahmen", "Pellicule"),
  ("OptPhotoStream", "Photo Stream", "Fotostream", "Flux de photos"),
  ("OptAppPhotos", "App Photos", "App-Fotos", "Photos des apps"),
  ("OptAppVideos", "App Videos", "App-Videos", "Vidéos des apps"),
  ("OptMessages", "Messages", "Nachrichten", "Messages"),
  ("OptMessageAtts", "Message Attachments", "Nachrichtenanhänge", "Pièces jointes des messages"),
  ("OptContacts", "Contacts", "Kontakte", "Contacts"),
  ("OptCallHistory", "Call History", "Anrufliste", "Historique des appels"),
  ("OptNotes", "Notes", "Notizen", "Notes"),
  ("WhatsApp", "WhatsApp", "WhatsApp", "WhatsApp"),
  ("OptWhatsAppAtts", "WhatsApp Attachments", "WhatsApp-Anhänge", "Pièces jointes WhatsApp"),
  ("OptReminder", "Reminder", "Erinnerungen", "Rappels"),
  ("OptCalendar", "Calendar", "Kalender", "Calendrier"),
  ("SafariBookmark", "Safari Bookmarks", "Safari-Lesezeichen", "Signets Safari"),
  ("BtnNext2", "Start Scan", "Suche starten", "Lancer l'analyse"),
 ],
 "PageScan": [
  ("BtnScanPause", "Pause", "Pause", "Pause"),
  ("BtnScanStop", "Stop", "Stopp", "Arrêter"),
  ("BtnHome", "Home", "Start", "Accueil"),
  ("BtnPrint", "Print", "Drucken", "Imprimer"),
  ("BtnRecovery", "Recover", "Retten", "Récupérer"),
  ("BtnBackAppDir", "Back", "Zurück", "Retour"),
  ("OptOnOffFilter", "Only display the deleted items", "Nur gelöschte Einträge zeigen", "Afficher seulement les éléments supprimés"),
  ("OptOnOffPreview", "Preview", "Vorschau", "Aperçu"),
  ("CheckAll", "Select All", "Alle wählen", "Tout sélectionner"),
  ("LblStatistics", "You select 0 MB in 0 item(s) of 0 MB in 0 item(s)", "Gewählt: 0 MB in 0 Einträgen von 0 MB in 0 Einträgen", "Sélection : 0 Mo dans 0 élément(s) sur 0 Mo dans 0 élément(s)"),
  ("LblAddressDesc", "Address", "Adresse", "Adresse"),
  ("LblCompanyDesc", "Company", "Firma", "Société"),
  ("LblEmailDesc", "E-mail", "E-Mail", "E-mail"),
  ("LblPhoneDesc", "Phone", "Telefon", "Téléphone"),
  ("LblSocialDesc", "Social", "Soziale Profile", "Réseaux sociaux"),
  ("LblUrlDesc", "Web", "Web", "Web"),
 ],
 "PreviewProcessWnd": [
  ("title", "Preparing the preview", "Vorschau wird vorbereitet", "Préparation de l'aperçu"),
  ("BtnCancel", "Cancel", "Abbrechen", "Annuler"),
 ],
 "PrintWnd": [
  ("title", "Print", "Drucken", "Imprimer"),
 ],
 "MessageBox": [
  ("okbtn", "OK", "OK", "OK"),
  ("cancelbtn", "Cancel", "Abbrechen", "Annuler"),
 ],
 "MenuWnd": [
  ("item_help", "Help", "Hilfe", "Aide"),
  ("item_language", "Language", "Sprache", "Langue"),
  ("item_faq", "FAQ", "Häufige Fragen", "FAQ"),
  ("item_about", "About", "Über", "À propos"),
  ("item_support", "Support", "Kundendienst", "Assistance"),
  ("item_exit", "Exit", "Beenden", "Quitter"),
 ],
 "DecryptionWnd": [
  ("Title", "Encrypted backup", "Verschlüsselte Sicherung", "Sauvegarde chiffrée"),
  ("Description", "The selected backup is encrypted. Please enter its password here to unlock it.", "Die gewählte Sicherung ist verschlüsselt. Bitte geben Sie hier ihr Kennwort ein.", "La sauvegarde choisie est chiffrée. Saisissez ici son mot de passe pour la déverrouiller."),
  ("LblPassword", "Password:", "Kennwort:", "Mot de passe :"),
  ("BtnOK", "OK", "OK", "OK"),
  ("BtnCancel", "Cancel", "Abbrechen", "Annuler"),
  ("BtnTips", "<i>Tips: forgot the backup password?</i>", "<i>Tipp: Kennwort vergessen?</i>", "<i>Astuce : mot de passe oublié ?</i>"),
  ("BtnRestoreLink", "Restore it now >>", "Jetzt wiederherstellen >>", "Le retrouver maintenant >>"),
 ],
 "RecoverProcessWnd": [
  ("title", "Recovering", "Retten", "Récupération"),
  ("DetailBtn", "Detail", "Details", "Détails"),
  ("OpenBtn", "Open Folder", "Ordner öffnen", "Ouvrir le dossier"),
  ("FinishBtn", "Finished", "Fertig", "Terminé"),
  ("CancelBtn", "Cancel", "Abbrechen", "Annuler"),
 ],
 "Messages": [
  ("MSG0301", "Please enter the backup password.", "Bitte geben Sie das Sicherungskennwort ein.", "Veuillez saisir le mot de passe de la sauvegarde."),
  ("MSG0303", "The password is wrong. Please enter the backup password again.", "Das Kennwort ist falsch. Bitte geben Sie das Sicherungskennwort erneut ein.", "Le mot de passe est incorrect. Veuillez saisir à nouveau le mot de passe de la sauvegarde."),
  ("MSG0302", "This backup is encrypted. Please enter its password to scan it.", "Diese Sicherung ist verschlüsselt. Bitte geben Sie ihr Kennwort ein, um sie zu durchsuchen.", "Cette sauvegarde est chiffrée. Saisissez son mot de passe pour l'analyser."),
  ("MSG0401", "Error", "Fehler", "Erreur"),
  ("MSG0402", "Confirm", "Bestätigen", "Confirmer"),
  ("MSG0403", "Information", "Hinweis", "Information"),
  ("MSG0404", "Question", "Frage", "Question"),
  ("MSG0405", "Warning", "Warnung", "Avertissement"),
  ("MSG0501", "Scanning the backup...", "Die Sicherung wird durchsucht...", "Analyse de la sauvegarde..."),
  ("MSG0502", "Please wait while the backup files are read. Do not remove the disk that holds them.", "Bitte warten, die Sicherungsdateien werden gelesen. Entfernen Sie das Laufwerk nicht.", "Patientez pendant la lecture des fichiers. Ne retirez pas le disque qui les contient."),
  ("MSG0503", "Scanning the device...", "Das Gerät wird durchsucht...", "Analyse de l'appareil..."),
  ("MSG0504", "Keep the device connected until the scan is finished.", "Lassen Sie das Gerät bis zum Ende der Suche verbunden.", "Gardez l'appareil connecté jusqu'à la fin de l'analyse."),
  ("MSG0506", "Resume", "Fortsetzen", "Reprendre"),
  ("MSG0507", "Pause", "Pause", "Pause"),
  ("MSG0508", "Do you want to stop the scan?", "Möchten Sie die Suche beenden?", "Voulez-vous arrêter l'analyse ?"),
  ("MSG0509", "Choose the folder to save the recovered files in", "Wählen Sie den Ordner für die geretteten Dateien", "Choisissez le dossier où enregistrer les fichiers récupérés"),
  ("MSG0510", "Going back to the first step clears the scan results. Continue?", "Zurück zum ersten Schritt löscht die Suchergebnisse. Fortfahren?", "Revenir à la première étape efface les résultats. Continuer ?"),
  ("MSG0511", "A scan is running or its results are shown. Do you want to quit?", "Eine Suche läuft oder ihre Ergebnisse werden gezeigt. Möchten Sie beenden?", "Une analyse est en cours ou ses résultats sont affichés. Voulez-vous quitter ?"),
  ("MSG0512", "The backup could not be opened.", "Die Sicherung konnte nicht geöffnet werden.", "La sauvegarde n'a pas pu être ouverte."),
  ("MSG0513", "You select %s in %d item(s) of %s in %d item(s)", "Gewählt: %s in %d Einträgen von %s in %d Einträgen", "Sélection : %s dans %d élément(s) sur %s dans %d élément(s)"),
  ("MSG0514", "Not everything in the backup could be read:", "Nicht alles in der Sicherung konnte gelesen werden:", "Tout n'a pas pu être lu dans la sauvegarde :"),
  ("MSG0515", "Files Filtered: %d item(s)", "Gefilterte Dateien: %d Einträge", "Fichiers filtrés : %d élément(s)"),
  ("MSG0901", "Extracting", "Entpacken", "Extraction"),
  ("MSG0902", "File:", "Datei:", "Fichier :"),
  ("MSG0903", "Do you want to cancel?", "Möchten Sie abbrechen?", "Voulez-vous annuler ?"),
  ("MSG1101", "Recovering", "Retten", "Récupération"),
  ("MSG1102", "%d of %d file(s) processed: %d recovered, %d failed", "%d von %d Datei(en) bearbeitet: %d gerettet, %d fehlgeschlagen", "%d fichier(s) sur %d traité(s) : %d récupéré(s), %d en échec"),
  ("MSG1103", "Do you want to cancel the recovery?", "Möchten Sie das Retten abbrechen?", "Voulez-vous annuler la récupération ?"),
  ("MSG1104", "The export templates could not be read.", "Die Exportvorlagen konnten nicht gelesen werden.", "Les modèles d'export n'ont pas pu être lus."),
  ("MSG1207", "The video player could not be started.", "Der Videoplayer konnte nicht gestartet werden.", "Le lecteur vidéo n'a pas pu démarrer."),
 ],
}
names = ["English", "Deutsch", "Francais"]
for i, name in enumerate(names):
    lines = ["; Dunmere Free Edition: texts of the screens (%s). Keys are control names; Messages holds the message texts." % name]
    for section, entries in S.items():
        lines.append("")
        lines.append("[%s]" % section)
        for e in entries:
            lines.append("%s=%s" % (e[0], e[1 + i]))
    open("%s/%s.ini" % (out, name), "w", encoding="utf-8").write("\n".join(lines) + "\n")
