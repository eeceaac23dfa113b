pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import Parvix

// The group's batch jobs, newest last: per job a progress bar, the counts, Cancel while phones
// still wait, and each phone with its state and, when it failed, the reason. A job stays until
// its close button is pressed.
Rectangle {
    id: root

    property BatchJobList jobs: null

    function stateText(state: int): string {
        switch (state) {
        case BatchJob.Queued: return qsTr("Queued")
        case BatchJob.Running: return qsTr("Running")
        case BatchJob.Done: return qsTr("Done")
        case BatchJob.Failed: return qsTr("Failed")
        default: return qsTr("Cancelled")
        }
    }

    function stateColor(state: int): color {
        switch (state) {
        case BatchJob.Done: return Theme.success
        case BatchJob.Failed: return Theme.error
        case BatchJob.Running: return Theme.textYellow
        default: return Theme.textGray
        }
    }

    color: Theme.backgroundBlackGreen
    border.color: Theme.borderDarkGreen
    radius: 6
    implicitHeight: Math.min(jobList.contentHeight + 16, 420)

    ListView {
        id: jobList
        objectName: "jobList"
        anchors.fill: parent
        anchors.margins: 8
        clip: true
        spacing: 10
        model: root.jobs

        delegate: Column {
            id: jobItem
            required property BatchJob job
            width: ListView.view.width
            spacing: 4

            Item {
                width: parent.width
                height: 24
                Text {
                    anchors.left: parent.left
                    anchors.right: buttons.left
                    anchors.verticalCenter: parent.verticalCenter
                    elide: Text.ElideRight
                    text: jobItem.job?.title ?? ""
                    color: Theme.textWhite
                    font.pixelSize: Theme.contentFont
                    font.bold: true
                }
                Row {
                    id: buttons
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 6
                    PXButton {
                        objectName: "cancelJob"
                        visible: !(jobItem.job?.finished ?? true)
                        height: 22
                        minWidth: 60
                        text: qsTr("Cancel")
                        onClicked: jobItem.job?.cancel()
                    }
                    PXButton {
                        objectName: "dismissJob"
                        height: 22
                        minWidth: 30
                        text: "X"
                        onClicked: root.jobs.dismiss(jobItem.job)
                    }
                }
            }

            ProgressBar {
                width: parent.width
                value: jobItem.job?.progress ?? 0
                palette.highlight: Theme.primary
                palette.base: Theme.backgroundDarkGray
            }

            Text {
                objectName: "jobCounts"
                // Empty for the moment between a job's dismissal and its row's removal.
                text: !jobItem.job ? ""
                      : qsTr("%1 of %2 done, %3 failed, %4 cancelled")
                        .arg(jobItem.job.doneCount).arg(jobItem.job.total)
                        .arg(jobItem.job.failedCount).arg(jobItem.job.cancelledCount)
                color: Theme.textGray
                font.pixelSize: Theme.textFont
            }

            ListView {
                width: parent.width
                height: Math.min(contentHeight, 160)
                clip: true
                interactive: contentHeight > height
                model: jobItem.job
                delegate: Row {
                    id: phoneRow
                    required property string label
                    required property int state
                    required property string reason
                    spacing: 8
                    Text {
                        width: 150
                        elide: Text.ElideRight
                        text: phoneRow.label
                        color: Theme.textWhite
                        font.pixelSize: Theme.textFont
                    }
                    Text {
                        width: 60
                        text: root.stateText(phoneRow.state)
                        color: root.stateColor(phoneRow.state)
                        font.pixelSize: Theme.textFont
                    }
                    Text {
                        width: jobList.width - 230
                        elide: Text.ElideRight
                        text: phoneRow.reason
                        color: Theme.textRed
                        font.pixelSize: Theme.textFont
                    }
                }
            }
        }
    }
}
