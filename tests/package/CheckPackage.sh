#!/usr/bin/env bash
# Usage: CheckPackage.sh BUILD_DIR SCRATCH_DIR VERSION VENDOR_ID PRODUCT_ID
# Installs the built tree into a scratch root with the prefix /usr and checks that exactly the
# program's files arrive, that the udev rule and the AppStream data name the heater, that the
# bridge's service passes systemd-analyze (verified, and exposed at most 2.5) where that is
# installed, and that the desktop entry and the AppStream data pass their validators where those
# are installed. Where cpack and dpkg-deb are installed it also builds the Debian package from the
# same tree and checks its files, its fields and what its maintainer scripts do, and runs lintian
# on it where installed.
# Reads nothing but the build tree; every fault found is listed before it fails.
set -euo pipefail

build=$1
scratch=$2
version=$3
vendor=$(printf '%04x' "$4")
product=$(printf '%04x' "$5")
vendor_upper=${vendor^^}
product_upper=${product^^}
cmake=${CMAKE:-cmake}
cpack=${CPACK:-cpack}

faults=0
fault() {
  echo "FAULT: $*" >&2
  faults=$((faults + 1))
}
has() { command -v "$1" >/dev/null 2>&1; }

case $scratch in /*/*) ;; *) echo "the scratch folder must be an absolute path below /" >&2; exit 2 ;; esac
rm -rf "$scratch"
mkdir -p "$scratch"
root=$scratch/root
DESTDIR=$root "$cmake" --install "$build" --prefix /usr >"$scratch/install.log"

# --- What the installation holds -----------------------------------------------------------------

sizes=(16 24 32 48 64 128 256)
expected=(
  usr/bin/helvane
  usr/bin/helvane-cli
  usr/lib/systemd/system/helvane-mqtt.service
  usr/lib/udev/rules.d/70-helvane.rules
  usr/share/applications/helvane.desktop
  usr/share/doc/helvane/changelog.gz
  usr/share/doc/helvane/copyright
  usr/share/icons/hicolor/scalable/apps/helvane.svg
  usr/share/man/man1/helvane.1.gz
  usr/share/man/man1/helvane-cli.1.gz
  usr/share/metainfo/io.github.helvane.metainfo.xml
)
for size in "${sizes[@]}"; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/helvane.png")
done
expected_list=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)

# Exactly these files: the heater model, the benchmark and the tests must stay in the build.
installed_list=$(cd "$root" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
if [ "$installed_list" != "$expected_list" ]; then
  fault "the installed files are not the program's (< missing, > not expected):"
  diff <(echo "$expected_list") <(echo "$installed_list") | grep '^[<>]' >&2 || true
fi

for name in helvane helvane-cli; do
  program=$root/usr/bin/$name
  [ -f "$program" ] || continue
  [ -x "$program" ] || fault "usr/bin/$name is not executable"
  # A search path left from the build tree would load libraries from there, or from nowhere.
  if has readelf; then
    search=$(readelf -d "$program" | grep -E '\((RPATH|RUNPATH)\)' || true)
    [ -z "$search" ] || fault "usr/bin/$name keeps a library search path: $search"
  fi
done
# The command-line tool needs no display: no widgets, no GUI library.
if [ -f "$root/usr/bin/helvane-cli" ] && has readelf; then
  readelf -d "$root/usr/bin/helvane-cli" | grep -Eq 'NEEDED.*libQt6(Gui|Widgets)' &&
    fault "usr/bin/helvane-cli links a GUI library"
fi

# udev reads the rule line by line: two rules, exactly these, after a comment. The first knows
# the heater by its USB parent, the second by the HID device's own name (upper-case hex).
rule=$root/usr/lib/udev/rules.d/70-helvane.rules
if [ -f "$rule" ]; then
  access='MODE="0660", GROUP="plugdev", TAG+="uaccess"'
  hid_name="0003:$(echo "$vendor" | tr a-f A-F):$(echo "$product" | tr a-f A-F).*"
  want="SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"$vendor\", ATTRS{idProduct}==\"$product\", $access
SUBSYSTEM==\"hidraw\", KERNELS==\"$hid_name\", $access"
  rules=$(grep -Ev '^[[:space:]]*(#|$)' "$rule" || true)
  [ "$rules" = "$want" ] || fault "the udev rule reads '$rules', not '$want'"
  grep -q '^# ' "$rule" || fault "the udev rule file does not say what it does"
fi

# The bridge's service runs the installed tool as an unprivileged user of the rule's group, with
# the owner's options, the password as a credential that may be missing, and its archive in its
# state folder; bad usage is not retried.
unit=$root/usr/lib/systemd/system/helvane-mqtt.service
if [ -f "$unit" ]; then
  setting() { sed -n "s/^$1=//p" "$unit"; }
  credential="--password-file \${CREDENTIALS_DIRECTORY}/mqtt-password"
  [ "$(setting ExecStart)" = "/usr/bin/helvane-cli mqtt $credential \$HELVANE_MQTT_OPTIONS" ] ||
    fault "the service runs '$(setting ExecStart)'"
  [ "$(setting DynamicUser)" = yes ] || fault "the service does not run as a user of its own"
  [ "$(setting SupplementaryGroups)" = plugdev ] || fault "the service is not in the group plugdev"
  [ "$(setting WantedBy)" = multi-user.target ] || fault "the service cannot be enabled for multi-user.target"
  [ "$(setting EnvironmentFile)" = -/etc/default/helvane-mqtt ] ||
    fault "the service does not take its options from /etc/default/helvane-mqtt, if there"
  # Unquoted, systemd splits the default options at the space and the bridge gets a bare --broker.
  grep -Eqx 'Environment="HELVANE_MQTT_OPTIONS=--broker [^" ]+"' "$unit" ||
    fault "the service's default options are not one quoted assignment: $(grep "^Environment=.*HELVANE_MQTT_OPTIONS" "$unit")"
  grep -Fqx 'Environment="HELVANE_ARCHIVE=/var/lib/helvane/Archive.sqlite"' "$unit" ||
    fault "the service does not keep its archive in /var/lib/helvane"
  [ "$(setting StateDirectory)" = helvane ] || fault "the service has no state folder /var/lib/helvane"
  # The secrets as credentials, readable by the service alone; without a default for the same
  # credential a missing file fails the start.
  for credential in mqtt-password mqtt-client.key pgpass; do
    grep -Fqx "LoadCredential=$credential:/etc/helvane/$credential" "$unit" ||
      fault "the service does not load $credential as a credential: '$(setting LoadCredential)'"
    grep -Eq "^SetCredential=$credential:" "$unit" || fault "the credential $credential has no default"
  done
  grep -Fqx 'Environment=PGPASSFILE=%d/pgpass' "$unit" || fault "libpq does not read the service's pgpass credential"
  [ "$(setting RuntimeDirectory)" = helvane ] || fault "the service has no runtime folder for its lock of the heater"
  [[ " $(setting RestartPreventExitStatus) " == *" 2 "* ]] || fault "the service retries bad usage"

  if has systemd-analyze; then
    # The unit alone, its program looked up in the installation; the manual page too where man
    # can look it up.
    man=(--man=no)
    if has man; then man=(--man=yes); fi
    report=$(MANPATH=$root/usr/share/man systemd-analyze verify "${man[@]}" --recursive-errors=no \
      --root="$root" "$unit" 2>&1) && status=0 || status=$?
    if [ "$status" -ne 0 ] || [ -n "$report" ]; then
      fault "systemd-analyze verify: $report"
    fi
    report=$(systemd-analyze security --offline=true --root="$root" "$unit" 2>&1) || true
    exposure=$(sed -n 's/^.*Overall exposure level for helvane-mqtt\.service: \([0-9.]*\) .*$/\1/p' <<<"$report")
    if [ -z "$exposure" ]; then
      fault "systemd-analyze security gives no exposure: $report"
    elif ! awk -v e="$exposure" 'BEGIN { exit !(e <= 2.5) }'; then
      fault "the service's exposure is $exposure, more than 2.5:"
      grep '✗' <<<"$report" >&2 || true
    fi
  else
    echo "systemd-analyze is not installed: the service is not verified"
  fi
fi

# Each picture is a PNG of the size its folder names.
for size in "${sizes[@]}"; do
  png=$root/usr/share/icons/hicolor/${size}x${size}/apps/helvane.png
  [ -f "$png" ] || continue
  signature=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
  dimensions=$(od -An -tu1 -j16 -N8 "$png" |
    awk '{ printf "%dx%d", (($1 * 256 + $2) * 256 + $3) * 256 + $4, (($5 * 256 + $6) * 256 + $7) * 256 + $8 }')
  [ "$signature" = 89504e470d0a1a0a ] || fault "${size}x${size}/apps/helvane.png is no PNG"
  [ "$dimensions" = "${size}x${size}" ] || fault "${size}x${size}/apps/helvane.png is $dimensions"
done
svg=$root/usr/share/icons/hicolor/scalable/apps/helvane.svg
[ ! -f "$svg" ] || grep -q '<svg' "$svg" || fault "scalable/apps/helvane.svg is no SVG"

# The desktop entry starts the installed program and names the installed icon.
desktop=$root/usr/share/applications/helvane.desktop
if [ -f "$desktop" ]; then
  entry() { sed -n "s/^$1=//p" "$desktop"; }
  [ "$(entry Exec)" = helvane ] || fault "the desktop entry runs '$(entry Exec)', not helvane"
  [ "$(entry Icon)" = helvane ] || fault "the desktop entry shows the icon '$(entry Icon)', not helvane"
  [ "$(entry Terminal)" = false ] || fault "the desktop entry does not say Terminal=false"
  for key in Name GenericName 'GenericName\[de\]' Comment 'Comment\[de\]' Categories Keywords; do
    [ -n "$(entry "$key")" ] || fault "the desktop entry has no $key"
  done
  if has desktop-file-validate; then
    report=$(desktop-file-validate "$desktop" 2>&1) && status=0 || status=$?
    if [ "$status" -ne 0 ] || grep -Eq '(error|warning):' <<<"$report"; then
      fault "desktop-file-validate: $report"
    fi
  else
    echo "desktop-file-validate is not installed: the desktop entry is not validated"
  fi
fi

# The AppStream data points at the desktop entry and offers the program for the heater.
metainfo=$root/usr/share/metainfo/io.github.helvane.metainfo.xml
if [ -f "$metainfo" ]; then
  grep -q '<id>io\.github\.helvane</id>' "$metainfo" || fault "the AppStream id is not the file's name"
  grep -q '<launchable type="desktop-id">helvane\.desktop</launchable>' "$metainfo" ||
    fault "the AppStream data does not launch helvane.desktop"
  modalias="usb:v${vendor_upper}p${product_upper}d*"
  grep -qF "<modalias>$modalias</modalias>" "$metainfo" ||
    fault "the AppStream data does not provide $modalias"
  if has appstreamcli; then
    # The whole tree: the data itself, and that its desktop entry is there beside it.
    report=$(appstreamcli validate-tree --no-net "$root" 2>&1) || fault "appstreamcli validate-tree: $report"
  else
    echo "appstreamcli is not installed: the AppStream data is not validated"
  fi
fi

# --- The Debian package ----------------------------------------------------------------------------

if ! has "$cpack" || ! has dpkg-deb; then
  echo "cpack or dpkg-deb is not installed: the Debian package is not checked"
else
  if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/deb" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    fault "cpack could not build the Debian package"
  fi
  shopt -s nullglob
  debs=("$scratch"/deb/*.deb)
  shopt -u nullglob
  if [ ${#debs[@]} -ne 1 ]; then
    fault "cpack made ${#debs[@]} Debian packages, not one"
  else
    deb=${debs[0]}

    package_list=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | LC_ALL=C sort)
    if [ "$package_list" != "$expected_list" ]; then
      fault "the package's files are not the program's (< missing, > not expected):"
      diff <(echo "$expected_list") <(echo "$package_list") | grep '^[<>]' >&2 || true
    fi

    [ "$(dpkg-deb -f "$deb" Package)" = helvane ] || fault "the package is named $(dpkg-deb -f "$deb" Package)"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] ||
      fault "the package's version is $(dpkg-deb -f "$deb" Version), not $version"
    # Each listed name must be one of the comma-separated relations, whatever version it asks.
    relates() {
      local names
      names=$(tr ',' '\n' <<<"$1" | sed 's/^ *//; s/[ (].*//')
      grep -qx -- "$2" <<<"$names"
    }
    depends=$(dpkg-deb -f "$deb" Depends)
    # Two loaded at run time, and two that only the library scan finds.
    for name in libhidapi-hidraw0 fonts-liberation libqt6widgets6 libc6; do
      relates "$depends" "$name" || fault "the package does not depend on $name: Depends: $depends"
    done
    recommends=$(dpkg-deb -f "$deb" Recommends)
    relates "$recommends" udev || fault "the package does not recommend udev: Recommends: $recommends"

    # The documents' changelog speaks of this version.
    dpkg-deb -x "$deb" "$scratch/unpacked"
    changelog=$scratch/unpacked/usr/share/doc/helvane/changelog.gz
    if [ -f "$changelog" ]; then
      top=$(gzip -dc "$changelog" | sed -n 1p)
      [[ "$top" == "helvane ($version) "* ]] || fault "the changelog's latest entry is '$top', not version $version"
    fi

    # The maintainer scripts reload udev and retrigger hidraw nodes when they can, and never fail
    # the installation: run here against a stand-in udevadm that logs its arguments.
    dpkg-deb -e "$deb" "$scratch/control"
    fake=$scratch/fake-bin
    nothing=$scratch/no-bin
    mkdir -p "$fake" "$nothing"
    cat >"$fake/udevadm" <<EOF
#!/bin/sh
echo "\$*" >>"$scratch/udevadm.log"
[ "\$1" != "\${FAKE_UDEVADM_FAILS:-}" ]
EOF
    chmod +x "$fake/udevadm"
    reload=$'control --reload-rules\ntrigger --subsystem-match=hidraw --action=change'
    shell=$(command -v sh)
    for pair in postinst:configure postrm:remove; do
      script=$scratch/control/${pair%%:*}
      action=${pair#*:}
      if [ ! -x "$script" ]; then
        fault "the package has no executable ${pair%%:*}"
        continue
      fi
      rm -f "$scratch/udevadm.log"
      PATH=$fake "$shell" "$script" "$action" || fault "${pair%%:*} $action fails with a working udevadm"
      calls=$(cat "$scratch/udevadm.log" 2>/dev/null || true)
      [ "$calls" = "$reload" ] || fault "${pair%%:*} $action calls udevadm with '$calls', not '$reload'"

      # Without a running udev the reload fails; where /sys is read-only the trigger does.
      for failing in control trigger; do
        FAKE_UDEVADM_FAILS=$failing PATH=$fake "$shell" "$script" "$action" ||
          fault "${pair%%:*} $action fails where 'udevadm $failing' fails"
      done
      PATH=$nothing "$shell" "$script" "$action" || fault "${pair%%:*} $action fails where udevadm is missing"
    done

    # Under a running systemd they reload it, stop the bridge before its removal and restart a
    # running bridge after an upgrade, never enable nor start it, and never fail: run against
    # stand-ins that log their arguments, with systemd's run folder moved into the scratch folder
    # (present: systemd runs; absent: it does not).
    for tool in systemctl deb-systemd-invoke deb-systemd-helper; do
      cat >"$fake/$tool" <<EOF
#!/bin/sh
echo "$tool \$*" >>"$scratch/systemd.log"
[ -z "\${FAKE_SYSTEMD_FAILS:-}" ]
EOF
      chmod +x "$fake/$tool"
    done
    running=$scratch/systemd-running
    absent=$scratch/systemd-absent
    mkdir -p "$running"
    reload='systemctl --system daemon-reload'
    cases=(
      "postinst configure|$reload"
      "postinst configure 0.9|$reload"$'\n''deb-systemd-invoke try-restart helvane-mqtt.service'
      "prerm remove|deb-systemd-invoke stop helvane-mqtt.service"
      "prerm upgrade 1.0|"
      "postrm remove|$reload"
      "postrm purge|"
    )
    for case in "${cases[@]}"; do
      read -r name arguments <<<"${case%%|*}"
      want=${case#*|}
      script=$scratch/control/$name
      if [ ! -x "$script" ]; then
        fault "the package has no executable $name"
        continue
      fi
      for run in "$running" "$absent"; do
        sed "s|/run/systemd/system|$run|g" "$script" >"$scratch/$name.moved"
        calls_wanted=$want
        where="systemd runs"
        if [ "$run" = "$absent" ]; then
          calls_wanted=
          where="systemd does not run"
        fi
        rm -f "$scratch/systemd.log"
        # shellcheck disable=SC2086 # the arguments are words
        PATH=$fake "$shell" "$scratch/$name.moved" $arguments ||
          fault "$name $arguments fails where $where"
        calls=$(cat "$scratch/systemd.log" 2>/dev/null || true)
        [ "$calls" = "$calls_wanted" ] ||
          fault "$name $arguments where $where calls '$calls', not '$calls_wanted'"
        # shellcheck disable=SC2086
        FAKE_SYSTEMD_FAILS=1 PATH=$fake "$shell" "$scratch/$name.moved" $arguments ||
          fault "$name $arguments fails where $where and its tools fail"
      done
    done

    if has lintian; then
      report=$(lintian --fail-on error "$deb" 2>&1) && status=0 || status=$?
      [ -z "$report" ] || echo "$report"
      [ "$status" -eq 0 ] || fault "lintian finds errors in the package"
    else
      echo "lintian is not installed: the package is not linted"
    fi
  fi
fi

if [ "$faults" -ne 0 ]; then
  echo "$faults fault(s) found" >&2
  exit 1
fi
echo "installation and package hold what they should"
