# Shared by the scripts: the repository root and the installer, run as root.
repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

install_deps() {
  if [ "$(id -u)" -eq 0 ]; then
    "$repo_root/scripts/install-deps"
  else
    sudo "$repo_root/scripts/install-deps"
  fi
}
