#!/usr/bin/env bash
# Regenerates the tiny tagged audio files of the local-library tests (0.2 s, 8 kHz mono).
# Needs ffmpeg, python3 and ImageMagick's convert. Run from anywhere.
set -euo pipefail
cd "$(dirname "$0")"
tone=(-f lavfi -i sine=f=440:d=0.2 -ar 8000 -ac 1)
ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
full=(-metadata title="Morning Song" -metadata artist="Contrib Artist" -metadata album_artist="Album Artist"
      -metadata album="Local Album" -metadata date=2019-05-01 -metadata genre=Jazz -metadata track=3/12)

# The same tags in every container TagLib reads.
ff "${tone[@]}" "${full[@]}" -b:a 8k tagged.mp3
ff "${tone[@]}" "${full[@]}" tagged.flac
ff "${tone[@]}" "${full[@]}" -c:a libvorbis -q:a 0 tagged.ogg
ff "${tone[@]}" "${full[@]}" -c:a aac -b:a 8k tagged.m4a
ff "${tone[@]}" "${full[@]}" -c:a wmav2 -b:a 24k tagged.wma
ff "${tone[@]}" "${full[@]}" -write_id3v2 1 tagged.wav
ff "${tone[@]}" "${full[@]}" -write_id3v2 1 tagged.aiff
# Raw AAC (ADTS) with an ID3v2 tag: a container TagLib cannot open.
ff "${tone[@]}" "${full[@]}" -c:a aac -b:a 8k -write_id3v2 1 -f adts tagged.aac

# Artist fallbacks.
ff "${tone[@]}" -metadata title="Only Contributor" -metadata artist="Contrib Artist" contributor.flac
ff "${tone[@]}" -metadata title="Only Author" -metadata author="The Author" author.flac

# Artists and albums that differ only in case.
ff "${tone[@]}" -metadata title="Upper" -metadata artist="A" -metadata album="X" case-upper.flac
ff "${tone[@]}" -metadata title="Lower" -metadata artist="a" -metadata album="x" case-lower.flac

# Year texts: the date first, then the description.
ff "${tone[@]}" -metadata date=1899 year-1899.flac
ff "${tone[@]}" -metadata date=20195 year-20195.flac
ff "${tone[@]}" -metadata date=12345 year-12345.flac
ff "${tone[@]}" -metadata description="Recorded 1987 live" year-description.flac
ff "${tone[@]}" -metadata date=1899 -metadata description="Recorded 1987 live" year-bad-date-description.flac
ff "${tone[@]}" -metadata date="May 2003" year-text-date.flac

# No tag at all.
ff "${tone[@]}" -b:a 8k -map_metadata -1 -id3v2_version 0 -write_id3v1 0 -write_xing 0 -fflags +bitexact "Artist - Title.mp3"

# Embedded front covers: a 2x2 PNG.
convert -size 2x2 xc:red cover.png
ff -f lavfi -i sine=f=440:d=0.2 -i cover.png -ar 8000 -ac 1 -map 0 -map 1 -c:a libmp3lame -b:a 8k -c:v copy -id3v2_version 3 \
   -metadata:s:v comment="Cover (front)" -metadata title="With Cover" cover.mp3
ff -f lavfi -i sine=f=440:d=0.2 -i cover.png -ar 8000 -ac 1 -map 0 -map 1 -c:a flac -c:v copy -disposition:v attached_pic \
   -metadata:s:v comment="Cover (front)" -metadata title="With Cover" cover.flac

for f in *.flac; do python3 strip-flac-padding.py "$f"; done
