# The command lines of each tool for each operation of the zip benchmark. Sourced by run.sh.
# Each *Command function fills the array `command` and the folder `commandFolder` it runs in; the
# caller times it. Every tool works with its usual defaults (7-Zip, for one, uses both cores).

kAllTools=(vantrel infozip 7zip bsdtar go)
declare -A kToolTitle=([vantrel]=Vantrel [infozip]=Info-ZIP [7zip]=7-Zip [bsdtar]=bsdtar
    [go]="Go archive/zip")

# The Debian packages of the other tools, and the program each provides.
declare -A kToolPackage=([infozip]="zip unzip" [7zip]=7zip [bsdtar]=libarchive-tools
    [go]=golang-go)

# Vantrel reaches files through drive c:, mapped to the benchmark's work folder.
WindowsPath() {  # absolute path below $workRoot
    local relative=${1#"$workRoot"}
    printf 'c:%s' "${relative//\//\\}"
}

# The names in a corpus folder that the other tools are given (Vantrel takes the folder's "*.*").
TopNames() { (cd "$1" && LC_ALL=C ls -A); }

CreateCommand() {  # tool, level, source folder, archive
    local tool=$1 level=$2 source=$3 archive=$4
    local -a names
    mapfile -t names < <(TopNames "$source")
    commandFolder=$source
    case $tool in
        vantrel)
            commandFolder=/
            command=("$driver" zip "$(WindowsPath "$archive")" 2 "$level" 0x1801
                "$(WindowsPath "$source")\\*.*") ;;
        infozip) command=(zip -qr "-$level" "$archive" "${names[@]}") ;;
        7zip)
            local method=-mm=Deflate
            ((level == 0)) && method=-mm=Copy
            command=(7zz a -tzip "$method" "-mx=$level" -bd "$archive" "${names[@]}") ;;
        bsdtar)
            local options="zip:compression=deflate,zip:compression-level=$level"
            ((level == 0)) && options=zip:compression=store
            command=(bsdtar --format zip --options "$options" -cf "$archive" "${names[@]}") ;;
        go) command=("$gozip" create "$archive" "$level" "${names[@]}") ;;
    esac
}

ExtractCommand() {  # tool, archive, target folder (created)
    local tool=$1 archive=$2 target=$3
    mkdir -p "$target"
    commandFolder=/
    case $tool in
        vantrel)
            command=("$driver" extract "$(WindowsPath "$archive")" "$(WindowsPath "$target")" 3
                "*.*") ;;
        infozip) command=(unzip -q "$archive" -d "$target") ;;
        7zip) command=(7zz x -y -bd "-o$target" "$archive") ;;
        bsdtar) command=(bsdtar -xf "$archive" -C "$target") ;;
        go) command=("$gozip" extract "$archive" "$target") ;;
    esac
}

# Test decompresses every entry and checks its CRC; bsdtar has no test, so it extracts to stdout.
TestCommand() {  # tool, archive
    local tool=$1 archive=$2
    commandFolder=/
    case $tool in
        vantrel) command=("$driver" test "$(WindowsPath "$archive")") ;;
        infozip) command=(unzip -tq "$archive") ;;
        7zip) command=(7zz t -bd "$archive") ;;
        bsdtar) command=(bsdtar -xOf "$archive") ;;
        go) command=("$gozip" test "$archive") ;;
    esac
}

ListCommand() {  # tool, archive
    local tool=$1 archive=$2
    commandFolder=/
    case $tool in
        vantrel) command=("$driver" list "$(WindowsPath "$archive")") ;;
        infozip) command=(unzip -l "$archive") ;;
        7zip) command=(7zz l "$archive") ;;
        bsdtar) command=(bsdtar -tvf "$archive") ;;
        go) command=("$gozip" list "$archive") ;;
    esac
}

# Builds the Go column's program offline with Debian's Go; prints nothing on success.
BuildGoZip() {  # source folder, program
    GOCACHE="$workRoot/go-cache" GOPATH="$workRoot/go-path" GOPROXY=off GOFLAGS= \
        go build -o "$2" "$1/main.go"
}

ToolVersions() {
    local tool
    for tool in "${tools[@]}"; do
        case $tool in
            vantrel) echo "Vantrel: lszip-driver of commit $(git -C "$benchDir" rev-parse --short HEAD)" ;;
            infozip) echo "Info-ZIP: $(zip -v | sed -n 2p | cut -d' ' -f3-4), $(unzip -v | head -1 | cut -d' ' -f1-2)" ;;
            7zip) echo "7-Zip: $(7zz | sed -n 2p | cut -d: -f1 | sed 's/ *$//')" ;;
            bsdtar) echo "bsdtar: $(bsdtar --version)" ;;
            go) echo "Go: $(go version | cut -d' ' -f3)" ;;
        esac
    done
}
