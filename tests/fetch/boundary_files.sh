# Sourced by the scripts that compare meridian-fetch with curl on real peers.
# boundary_files DIR: writes DIR/size-N.bin of random bytes for every size N
# of BOUNDARY_SIZES: 0, 1 and one below, at and above each buffer size of the
# client (1 KiB up to 1 MiB), so that every size where a read, the output
# buffer or a receive block fills up is crossed.
BOUNDARY_SIZES=(0 1)
for kib in 1 4 16 32 64 128 240 256 512 1024; do
  BOUNDARY_SIZES+=($((kib * 1024 - 1)) $((kib * 1024)) $((kib * 1024 + 1)))
done

boundary_files() {
  local dir=$1 size
  mkdir -p "$dir"
  head -c $((1024 * 1024 + 1)) /dev/urandom >"$dir/.source"
  for size in "${BOUNDARY_SIZES[@]}"; do
    head -c "$size" "$dir/.source" >"$dir/size-$size.bin"
  done
  rm "$dir/.source"
}
