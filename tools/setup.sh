#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -eu
# clang-format-14: the format check expects exactly that major version.
packages=(build-essential cmake ninja-build ccache pkg-config libgtest-dev libbenchmark-dev
          clang-format-14 libasound2-dev libfluidsynth-dev timgm6mb-soundfont midicsv python3-mido sox
          openttd-openmsx
          qt6-base-dev qt6-translations-l10n libgl-dev fonts-ipafont-gothic xvfb
          desktop-file-utils appstream shared-mime-info libglib2.0-bin man-db)
# musescore3: the notation program that checks our MusicXML; libsndfile1-dev: FLAC and Ogg
# renders; fluidsynth: the synthesizer's own program the render benchmark compares against.
packages+=(musescore3 libsndfile1-dev fluidsynth)
# jackd2: the JACK server the JACK MIDI tests start privately (its example clients include
# jack_midi_dump, which records what our JACK output sends); libjack-jackd2-dev: its headers.
packages+=(jackd2 libjack-jackd2-dev)
# lld: links the test builds' large programs in less than half the time of the default linker.
packages+=(lld)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [[ $(id -u) -ne 0 ]] && sudo_cmd=sudo
  $sudo_cmd apt-get update -qq
  # jackd2 asks whether to give the audio group real-time rights; the answer is no, asked or
  # not, so that the install never waits for a terminal.
  echo "jackd2 jackd/tweak-rt-limits boolean false" | $sudo_cmd debconf-set-selections
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
