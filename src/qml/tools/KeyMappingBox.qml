import Parvix

// A box over the key-mapping editor: closed by its own buttons only.
PXDialog {
    showCloseButton: false
}
