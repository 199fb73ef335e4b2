# Checks of the installer package that the package test (the 32-bit package under 32-bit Wine) and
# the package check test (the package made by scripts/package --check) share. Sourced; needs the
# caller's check function (check WHAT COMMAND...).

# The rows that set the folders' permissions, make the settings folder and the Start menu
# shortcut, and the guide's page with every picture it names.
check_package_tables() {
    local msi=$1 guide=$2 tables
    tables=$(mktemp -d)
    for table in MsiLockPermissionsEx CreateFolder Shortcut File Directory; do
        msiinfo export "$msi" "$table" 2>/dev/null | tail -n +4 | tr -d '\r' >"$tables/$table" || true
    done
    check "installation folder: administrators and SYSTEM full control, users read and execute, nothing inherited" \
        grep -qxF "$(printf 'InstallFolderPermissions\tINSTALLFOLDER\tCreateFolder\tD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)\t')" \
        "$tables/MsiLockPermissionsEx"
    check "settings folder: users may modify" \
        grep -qxF "$(printf 'SettingsFolderPermissions\tSettingsFolder\tCreateFolder\tD:AI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1301bf;;;BU)\t')" \
        "$tables/MsiLockPermissionsEx"
    check "the permissions' folders are made by the package" \
        bash -c 'grep -q "^INSTALLFOLDER	Module$" "$0" && grep -q "^SettingsFolder	SettingsFolder$" "$0"' "$tables/CreateFolder"
    check "the settings folder is the module's: TOLVAR\\Tolvar EBanking in the machine's application data" \
        bash -c 'grep -q "^SettingsFolder	HostDataFolder	Tolvar EBanking$" "$0" &&
                 grep -q "^HostDataFolder	CommonAppDataFolder	TOLVAR$" "$0"' "$tables/Directory"
    check "a Start menu shortcut to the guide's page" \
        grep -q "^GuideShortcut	MenuFolder	Brenmark Fenlow Online Plus guide	GuideShortcut	\[GuideFolder\]guide.html	" \
        "$tables/Shortcut"
    check "the guide's page is in the package" grep -q "^GuidePage	Guide	guide.html	" "$tables/File"
    local picture missing=0
    for picture in $(guide_pictures "$guide"); do
        grep -q "	Guide	$picture	" "$tables/File" || { echo "  not in the package: $picture"; missing=1; }
    done
    check "every picture the guide shows is in the package" [ "$missing" = 0 ]
    rm -rf "$tables"
}

# The pictures the guide's markdown shows, one a line.
guide_pictures() {
    grep -o '!\[[^]]*\]([^)]*)' "$1" | sed 's/.*(\(.*\))/\1/' | sort -u
}

# The installed guide: the page, and every picture it names beside it.
check_guide_installed() {
    local folder=$1 guide=$2 picture missing=0
    check "the guide's page is installed" grep -q '<title>Brenmark Fenlow Online Plus' "$folder/guide.html"
    for picture in $(grep -o '<img[^>]* src="[^"]*"' "$folder/guide.html" | sed 's/.* src="\([^"]*\)"/\1/' | sort -u); do
        [ -s "$folder/$picture" ] || { echo "  not installed: $picture"; missing=1; }
    done
    check "every picture the page names is installed beside it" [ "$missing" = 0 ]
    check "the page names every picture of the guide" \
        bash -c '[ "$(grep -o "<img[^>]* src=\"[^\"]*\"" "$0" | wc -l)" -ge "$(grep -c "!\[" "$1")" ]' "$folder/guide.html" "$guide"
}
