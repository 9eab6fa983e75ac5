# Shared by the scripts: the repository root and the installer, run as root.
repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Needs root only when something is missing.
install_deps() {
  if "$repo_root/scripts/install-deps" --check 2>/dev/null || [ "$(id -u)" -eq 0 ]; then
    "$repo_root/scripts/install-deps"
  else
    sudo "$repo_root/scripts/install-deps"
  fi
}
